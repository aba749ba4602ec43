// The texts the wizard shows under a target format: one summary per target, lines separated
// by "\n\r".
#pragma once

#include <string_view>

namespace qm {

inline constexpr std::string_view FlacSummary =
    "FLAC is the most widely supported lossless format for digital audio files.  The FLAC format "
    "will allow your audio files to be compressed and encoded with out any loss of its original "
    "sound quality.\n\rMost uncompressed audio files, like Wav files, that are converted to this "
    "format can achieve a reduction in file size, anywhere, between 25% to 60% or more with out "
    "the audio file loosing any of its original sound-definition.";

inline constexpr std::string_view ApeSummary =
    "Monkey's Audio, also known as the Ape format, is a lossless format for digital audio files. "
    "The Monkey's Audio format will allow your  audio files to be compressed and encoded with out "
    "any loss of its original sound quality.\n\r*Note: Audio files of this format are sometimes "
    "referred to as Ape files.\n\rLike the FLAC and WavePack formats, most uncompressed audio "
    "files, like Wave files, converted to this format can achieve a significant reduction in size "
    "with out the audio file loosing any of its original sound-definition.";

inline constexpr std::string_view Mp3Summary =
    "The Mp3 audio format was designed to greatly reduce the size of an audio file while still "
    "adhering to a faithful reproduction of the original audio file's sound quality.\n\rMp3 "
    "compression and encoding essentially works by first removing sounds from the audio file that "
    "are inaudible by the human ear  and then compressing the remaining sounds and audio "
    "data.\n\rDepending on the level of sound quality you specify in step-3, audio files converted "
    "to the Mp3 format can achieve a reduction in file size by 40% to 80% or more while "
    "maintaining a high degree of the oringal audio file's sound-definition";

inline constexpr std::string_view OggSummary =
    "Like the MP3 format, the OggVorbis format can greatly reduce the size of an audio file by "
    "first removing sounds that are inaudible by the human ear and then compressing the remaining "
    "sounds and audio data.\n\rMany music fans, musicians, vocal artists and game developers use "
    "the OggVorbis format to compress and encode their audio content.\n\rDepending on the level of "
    "sound quality you specify in step-3, audio files converted to the OggVorbis format can "
    "achieve a reduction in file size comparable to Mp3 and Windows Media Audio files.";

inline constexpr std::string_view WavSummary =
    "The Wav audio format is a standard audio file format for storing uncompressed (raw) audio on "
    "a Microsoft Windows PC.  Wav files are typically used by software players, audio devices and "
    "audio editors that need high quality, uncompressed, audio input.\n\rThe Wav format is the "
    "most prevalent audio fomat in the digital music and professional audio industries.";

inline constexpr std::string_view WavPackSummary =
    "WavePack is a lossless format for digital audio files.  WavePack compares favorably to FLAC "
    "in terms of compression speed, performance and efficiency.\n\rLike the FLAC and Monkey's "
    "Audio(APE) formats, most uncompressed audio files, like Wave files, converted to this format "
    "can achieve a significant reduction in size with out the audio file loosing any of its "
    "original sound-definition.";

inline constexpr std::string_view WmaSummary =
    "Windows Media Audio (WMA) is an audio file format developed by Microsoft.  Windows Media "
    "Audio , similar to Mp3 and OggVorbis, reduces the size of an audio file by removing sounds "
    "that are inaudible by the human ear and then compresses the remaining sounds and audio "
    "data.\n\rMany music fans, musicians and vocal artists utilize this format to distribute their "
    "music and recordings digitally, throughout the internet.\n\rDepending on the level of sound "
    "quality you specify in step-3, audio files converted to the Windows Media Audio format can "
    "achieve a reduction in file size comparable to OggVorbis and Mp3 files.";
} // namespace qm
