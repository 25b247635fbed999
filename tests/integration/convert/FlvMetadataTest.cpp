// The metadata check every tagged output passes: files written by hand with one fault each, damaged
// files, and real encoder output before and after our tagger.

#include "media/FlvMetadata.h"
#include "integration/convert/ConvertFixture.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <cstring>

namespace vx::test {
namespace {

std::string Be(uint64_t v, int bytes)
{
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
std::string Key(const std::string& name)
{
    return Be(name.size(), 2) + name;
}
std::string Number(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof(bits));
    return std::string(1, '\0') + Be(bits, 8);
}
std::string Numbers(const std::vector<double>& v)
{
    std::string s = "\x0a" + Be(v.size(), 4);
    for (double d : v)
        s += Number(d);
    return s;
}
const std::string kEnd("\0\0\x09", 3);

// What to get wrong in a hand-made file of two video keyframes (0 and 80 ms), an inter frame
// between them and sound beside them.
struct Faults
{
    bool noSize = false;
    bool noRate = false;
    bool noIndex = false;
    bool extraPosition = false;
    int secondKeyframeTag = 3; // which tag the index's second entry points at
    double secondTime = 0.08;
    double sizeOffset = 0; // added to the file size the metadata gives
};

std::string MakeFlv(const Faults& f)
{
    struct Tag
    {
        uint8_t type;
        uint32_t stamp;
        std::string data;
    };
    const std::vector<Tag> tags = {{9, 0, "\x17\x01payload"},
                                   {8, 0, "\xaf\x01sound"},
                                   {9, 40, "\x27\x01payload"},
                                   {9, 80, "\x17\x01payload"},
                                   {8, 80, "\xaf\x01sound"}};
    auto tagBytes = [](uint8_t type, uint32_t stamp, const std::string& data) {
        return std::string(1, static_cast<char>(type)) + Be(data.size(), 3) + Be(stamp & 0xFFFFFF, 3) +
               Be(stamp >> 24, 1) + Be(0, 3) + data + Be(11 + data.size(), 4);
    };
    // The metadata's length does not depend on the values in it: measure, then fill in.
    std::vector<double> positions(2, 0);
    double fileSize = 0;
    std::string file;
    for (int pass = 0; pass < 2; ++pass) {
        std::string meta = "\x02" + Key("onMetaData") + "\x08" + Be(0, 4) + Key("duration") + Number(0.12);
        if (!f.noSize)
            meta += Key("width") + Number(320) + Key("height") + Number(240);
        if (!f.noRate)
            meta += Key("framerate") + Number(25);
        meta += Key("creator") + "\x02" + Key("Tolvane Vexora 2.0 test");
        meta += Key("filesize") + Number(fileSize + f.sizeOffset);
        if (!f.noIndex) {
            std::vector<double> pos = positions;
            if (f.extraPosition)
                pos.push_back(positions.back());
            meta += Key("keyframes") + "\x03" + Key("times") + Numbers({0, f.secondTime}) +
                    Key("filepositions") + Numbers(pos) + kEnd;
        }
        meta += kEnd;
        file = std::string("FLV\x01\x05", 5) + Be(9, 4) + Be(0, 4) + tagBytes(18, 0, meta);
        std::vector<size_t> offsets;
        for (const Tag& t : tags) {
            offsets.push_back(file.size());
            file += tagBytes(t.type, t.stamp, t.data);
        }
        positions = {static_cast<double>(offsets[0]),
                     static_cast<double>(offsets[static_cast<size_t>(f.secondKeyframeTag)])};
        fileSize = static_cast<double>(file.size());
    }
    return file;
}

class FlvMetadataCheck : public ::testing::Test
{
protected:
    std::string Check(const std::string& bytes, bool hasVideo = true)
    {
        const std::string path = m_dir.Path() + "t.flv";
        WriteFile(path, bytes);
        return CheckFlvMetadata(path, hasVideo);
    }
    CTempDir m_dir;
};

TEST_F(FlvMetadataCheck, EachMissingOrWrongEntryIsNamed)
{
    EXPECT_EQ(Check(MakeFlv({})), "");
    auto with = [](auto change) {
        Faults f;
        change(f);
        return MakeFlv(f);
    };
    EXPECT_EQ(Check(with([](Faults& f) { f.noSize = true; })), "the metadata gives no picture size");
    EXPECT_EQ(Check(with([](Faults& f) { f.noRate = true; })), "the metadata gives no frame rate");
    EXPECT_EQ(Check(with([](Faults& f) { f.noIndex = true; })), "the metadata has no keyframe index");
    EXPECT_EQ(Check(with([](Faults& f) { f.extraPosition = true; })),
              "the keyframe index has 2 times but 3 positions");
    // Entries that lead the player to sound, to a frame it cannot start from, or to another time.
    EXPECT_NE(
        Check(with([](Faults& f) { f.secondKeyframeTag = 4; })).find("does not point at a video keyframe"),
        std::string::npos);
    EXPECT_NE(
        Check(with([](Faults& f) { f.secondKeyframeTag = 2; })).find("does not point at a video keyframe"),
        std::string::npos);
    EXPECT_EQ(Check(with([](Faults& f) { f.secondTime = 0.5; })),
              "the keyframe index entry at 500 ms points at a frame of 80 ms");
    EXPECT_EQ(Check(with([](Faults& f) { f.secondTime = -1; })),
              "the keyframe index goes back in time at -1000 ms");
    EXPECT_NE(Check(with([](Faults& f) { f.sizeOffset = -7; })).find("file size"), std::string::npos);
    // Bytes added after tagging make the size and the index stale.
    EXPECT_NE(Check(MakeFlv({}) + "more").find("the file has"), std::string::npos);
    // Without video neither a picture size nor an index is needed.
    EXPECT_EQ(Check(with([](Faults& f) { f.noSize = f.noRate = f.noIndex = true; }), false), "");
}

TEST_F(FlvMetadataCheck, DamagedFilesAreRefusedNotTrusted)
{
    const std::string good = MakeFlv({});
    EXPECT_EQ(Check(""), "the file cannot be read");
    EXPECT_EQ(Check("plain text, not a video"), "not an FLV file");
    EXPECT_EQ(Check(good.substr(0, 60)), "the metadata tag is cut short");
    // A file that starts with a frame instead of its metadata.
    std::string noMeta = good;
    noMeta[13] = 9;
    EXPECT_EQ(Check(noMeta), "the file does not begin with its metadata");
    // Objects nested without end, and counts far beyond the tag, end the reading safely.
    std::string deep = "\x02" + Key("onMetaData");
    for (int i = 0; i < 5000; ++i)
        deep += "\x03" + Key("a");
    std::string deepFile = std::string("FLV\x01\x05", 5) + Be(9, 4) + Be(0, 4) + "\x12" + Be(deep.size(), 3) +
                           Be(0, 7) + deep + Be(deep.size() + 11, 4);
    EXPECT_EQ(Check(deepFile), "the metadata cannot be read");
    // Every single byte changed in turn: a cause or a pass, never a crash or a read out of bounds.
    for (size_t i = 0; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0xA5);
        Check(bad);
    }
}

TEST_F(FlvMetadataCheck, EncoderOutputLacksTheIndexOurTaggerWrites)
{
    // ffmpeg's own FLV has a size and a rate but no keyframe index: only the tagging step makes
    // it a file the player can seek in. The check and the independent validator agree on both.
    EXPECT_EQ(CheckFlvMetadata(Media("plain.flv"), true), "the metadata has no keyframe index");
    const std::string tagged = Media("tagged.flv");
    EXPECT_EQ(CheckFlvMetadata(tagged, true), "");
    EXPECT_EQ(ValidatorReport(tagged), "0 error(s), 0 warning(s)");
    FlvMetadata m;
    std::string error;
    ASSERT_TRUE(ReadFlvMetadata(tagged, &m, &error)) << error;
    EXPECT_EQ(m.Number("width"), 320);
    EXPECT_EQ(m.Number("height"), 240);
    EXPECT_EQ(m.Number("filesize"), static_cast<double>(FileSize(tagged)));
    EXPECT_FALSE(m.vKeyframeTimes.empty());
}

// The tagging program's own contract: its command line, exit status 0 only on success, and the
// text after -c read back by the media probe as the encoded application.
TEST(Tagger, KeepsItsCommandLineAndFailsPlainly)
{
    CTempDir dir;
    ASSERT_TRUE(CopyFileReplace(Media("plain.flv"), dir.Path() + "-in.flv"));
    auto run = [&](const std::vector<std::string>& args) {
        CProcess p;
        ProcessOptions opt;
        opt.workDir = dir.Path(); // relative names, one of them like an option
        int code = -1;
        EXPECT_TRUE(p.Start(CodecsDir() + "Yamdi-Extend", args, opt));
        EXPECT_TRUE(p.Wait(60000, &code));
        return code;
    };
    const std::string text = "Tolvane Vexora 2.0 2024-01-02 03:04:05";
    EXPECT_EQ(run({"-i", "-in.flv", "-o", "-out.flv", "-c", text}), 0);
    EXPECT_EQ(Probe(dir.Path() + "-out.flv").strEncodedApp, text);
    EXPECT_EQ(ValidatorReport(dir.Path() + "-out.flv"), "0 error(s), 0 warning(s)");

    EXPECT_NE(run({"-i", "missing.flv", "-o", "none.flv", "-c", text}), 0);
    WriteFile(dir.Path() + "text.flv", "not a video");
    EXPECT_NE(run({"-i", "text.flv", "-o", "none.flv", "-c", text}), 0);
    EXPECT_FALSE(FileExists(dir.Path() + "none.flv"));
    EXPECT_EQ(run({"-i", "-in.flv", "-c", text}), 2);
    EXPECT_EQ(run({"-i", "-in.flv", "-o", "x.flv", "-x", "meta.xml"}), 2);
}

} // namespace
} // namespace vx::test
