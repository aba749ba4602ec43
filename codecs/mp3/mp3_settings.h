// The MP3 sink's encoder settings, their enumerations, and the configuration record built from
// them for lame_enc.
#pragma once

#include "platform/lame_enc/lame_enc_api.h"

#include <cstdint>

enum TMP3BitRate : uint8_t {
    mbrAuto,
    mbr32,
    mbr40,
    mbr48,
    mbr56,
    mbr64,
    mbr80,
    mbr96,
    mbr112,
    mbr128,
    mbr144,
    mbr160,
    mbr192,
    mbr224,
    mbr256,
    mbr320
};
enum TMP3Mode : uint8_t { mmStereo = 0, mmJointStereo = 1, mmDual = 2, mmMono = 3 };
enum TMP3Quality : uint8_t {
    mp3ql0,
    mp3ql1,
    mp3ql2,
    mp3ql3,
    mp3ql4,
    mp3ql5,
    mp3ql6,
    mp3ql7,
    mp3ql8,
    mp3ql9
};

// Kilobits per second; 0 for mbrAuto.
int MP3BitRateKbps(TMP3BitRate rate);
// The listed rate nearest to kbps (the lower one on a tie); mbrAuto for 0 or less.
TMP3BitRate MP3BitRateFromKbps(int kbps);

struct TMP3Settings {
    TMP3BitRate bitRate = mbr128;
    TMP3Mode mode = mmStereo;
    bool crc = false;
    bool copyright = false;
    bool original = true;
    bool enableBitReservoir = false;
    bool strictIso = false;
    TMP3Quality vbrQuality = mp3ql0;
    bool enableVbr = false;
    TMP3BitRate averageBitrate = mbrAuto;
    TMP3BitRate maximumBitrate = mbrAuto;
};

// Channels the encoder takes: one for a mono input or mono mode, else two (wider input is
// mixed down before encoding).
int EncoderChannels(const TMP3Settings& settings, int inputChannels);

// The LAME variant of the record, zero-filled, for an input of that rate and channel count.
// Every file gets a Xing (VBR, ABR) or Info (CBR) frame with the LAME extension, as lame
// writes by default: without it players cannot tell a VBR file's length, and no decoder can
// trim the encoder's delay and padding.
BE_CONFIG BuildMp3Config(const TMP3Settings& settings, uint32_t sampleRate, int inputChannels);
