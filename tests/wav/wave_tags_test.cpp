// The tags of WAVE sources: LIST/INFO fields (UTF-8 or Windows-1252) winning over an 'id3 '
// chunk, and every cut or oversized tag chunk read without harm to the audio.
#include "tags/carried/id3v2_carried.h"
#include "tests/wav/wav_test_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<tags::TCarriedTags::Field>;

struct Read {
    std::vector<uint8_t> pcm;
    tags::TCarriedTags carried;
};

Read ReadMemory(const std::vector<uint8_t>& file) {
    TMemoryStream stream;
    stream.Write(file);
    TWaveIn source;
    source.SetStream(&stream);
    EXPECT_TRUE(source.FileValid());
    return {ReadAllPcm(source, 4096), source.CarriedTags()};
}

std::vector<uint8_t> Id3Chunk() {
    tags::TCarriedTags id3;
    id3.Add("TITLE", "id3 title");
    id3.Add("COMPOSER", "Komponist");
    tags::TPicture cover;
    cover.Mime = "image/png";
    cover.Data.assign(64, 0x89);
    id3.AddPicture(cover);
    return tags::BuildId3v24(id3);
}

} // namespace

TEST(WaveTags, InfoWinsOverId3AndEveryCutOrOversizedChunkKeepsTheAudio) {
    const auto audio = Ramp16(2 * 301);
    Bytes info;
    info.Text("INFO").Chunk("INAM", {'T', 'i', 0}).Chunk("IART", {'A', ';', ' ', 'B', 0, 0});
    // An odd size without its pad byte (INAM), Windows-1252 quotes, a track with its total.
    info.Chunk("ICMT", {0x93, 'q', 0x94, 0}).Chunk("IPRT", {'3', '/', '1', '2', 0, 0});
    info.Chunk("IGNR", {'G', 0, 0}).Chunk("ISFT", {'a', 'b', 0, 0});
    Bytes file;
    file.Append(PcmWave(2, 8000, 16, audio)).Chunk("LIST", info.data).Chunk("id3 ", Id3Chunk());
    WaveBytes::Write32(file.data, 4, uint32_t(file.data.size() - 8));

    const Read whole = ReadMemory(file.data);
    EXPECT_EQ(whole.pcm, audio);
    const Fields wanted = {
        {"TITLE", "Ti"},      {"ARTIST", "A"},      {"ARTIST", "B"}, {"COMMENT", "\u201Cq\u201D"},
        {"TRACKNUMBER", "3"}, {"TRACKTOTAL", "12"}, {"GENRE", "G"},  {"COMPOSER", "Komponist"}};
    EXPECT_EQ(whole.carried.Fields(), wanted);
    ASSERT_EQ(whole.carried.Pictures().size(), 1u);
    EXPECT_EQ(whole.carried.Pictures()[0].Data.size(), 64u);
    EXPECT_EQ(whole.carried.Own, (Fields{{"ISFT", "ab"}}));

    // A file cut anywhere in its tags loses only fields, never gains a wrong one or audio.
    const size_t dataEnd = 44 + audio.size();
    for (size_t cut = dataEnd; cut < file.data.size(); ++cut) {
        const Read part = ReadMemory({file.data.begin(), file.data.begin() + ptrdiff_t(cut)});
        ASSERT_EQ(part.pcm, audio) << "cut at " << cut;
        for (const auto& field : part.carried.Fields())
            EXPECT_NE(std::find(wanted.begin(), wanted.end(), field), wanted.end())
                << "cut at " << cut << ": " << field.first << "=" << field.second;
    }
    // Sizes past the end of the file, of the LIST chunk, of a field and of the ID3v2 chunk.
    const size_t listSize = dataEnd + 4, firstField = dataEnd + 16;
    const size_t id3Size = dataEnd + 8 + info.data.size() + 4;
    for (const size_t at : {listSize, firstField, id3Size}) {
        auto damaged = file.data;
        WaveBytes::Write32(damaged, at, 0xFFFFFFF0u);
        const Read read = ReadMemory(damaged);
        EXPECT_EQ(read.pcm, audio) << "size at " << at;
        if (at == firstField) EXPECT_EQ(read.carried.First("GENRE"), "") << "a field after it";
        if (at == listSize) EXPECT_EQ(read.carried.First("ARTIST"), "A");
    }
}
