// Every route of a conversion on real encoders: each output must be an FLV that the probe reads
// with our tag and with the source's duration.

#include "app/AppConfig.h"
#include "app/Utils.h"
#include "integration/convert/ConvertFixture.h"
#include "media/DestMiData.h"
#include "media/KillLeftoverEncoders.h"
#include "media/RateControl.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>

namespace vx::test {
namespace {

// An FLV file's bytes after its header and its first tag (the onMetaData script tag).
std::string FlvTagsAfterMetadata(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    constexpr size_t kHeader = 9 + 4; // signature, version, flags, header size; first tag size
    if (bytes.size() < kHeader + 11)
        return bytes;
    const size_t dataSize = (static_cast<size_t>(static_cast<unsigned char>(bytes[kHeader + 1])) << 16) |
                            (static_cast<size_t>(static_cast<unsigned char>(bytes[kHeader + 2])) << 8) |
                            static_cast<unsigned char>(bytes[kHeader + 3]);
    const size_t next = kHeader + 11 + dataSize + 4;
    return next <= bytes.size() ? bytes.substr(next) : bytes;
}

class ConvertRoutes : public ConvertEnv
{
protected:
    RunOutcome Convert(const std::string& src, uint8_t codecMode = CODEC_VBR, const std::string& index = "")
    {
        _sConvertTask task{src, index.empty() ? NewFileIndex() : index, Probe(src)};
        return RunWorker(task, MakeOptions(m_out->Path() + "out", codecMode));
    }

    // The output is ours, as long as the source, and passes the independent validator without
    // a single remark, with the picture size its video stream has in its metadata.
    void ExpectTaggedFlv(const RunOutcome& r, const std::string& src)
    {
        ASSERT_EQ(r.code, CR_SUCCESS) << src << " route " << r.info.strRoute;
        MiData in = Probe(src), out = Probe(r.outPath);
        EXPECT_EQ(out.strFormat[MI_GENERAL], "Flash Video") << r.outPath;
        EXPECT_NE(out.strEncodedApp.find("Tolvane Vexora 2.0"), std::string::npos) << out.strEncodedApp;
        EXPECT_TRUE(DurationMatches(in.nDuration[MI_GENERAL], out.nDuration[MI_GENERAL]))
            << in.nDuration[MI_GENERAL] << " vs " << out.nDuration[MI_GENERAL];
        const std::string report = ValidatorReport(r.outPath);
        EXPECT_EQ(report, "0 error(s), 0 warning(s)") << r.info.strRoute << " " << r.outPath;
        RecordProperty("validator " + r.info.strRoute + " " + src.substr(src.rfind('/') + 1), report);
        const std::pair<int, int> stream = StreamPictureSize(r.outPath);
        EXPECT_GT(stream.first, 0) << r.outPath;
        EXPECT_EQ(MetadataPictureSize(r.outPath), stream) << r.info.strRoute;
        EXPECT_FALSE(r.progress.empty());
        // Nothing but the output stays in its folder.
        std::string folder = r.outPath.substr(0, r.outPath.rfind('/'));
        for (const char* n :
             {"predict.flv", "copy.flv", "tag.copy.flv", "middle.avi", "middle.ts", "middle.meta"})
            EXPECT_FALSE(FileExists(folder + "/" + n)) << n;
    }
};

TEST_F(ConvertRoutes, VideoSourcesAreEncoded)
{
    // H.264 and AAC at a modest rate: the picture is copied, only the container changes.
    RunOutcome mp4 = Convert(Media("h264.mp4"));
    ExpectTaggedFlv(mp4, Media("h264.mp4"));
    EXPECT_TRUE(mp4.outPath.ends_with("h264.mp4.asc.flv")) << mp4.outPath;
    EXPECT_EQ(mp4.info.strRoute, "remux");
    EXPECT_EQ(mp4.progress.front(), 0);
    // MPEG-4 part 2: encoded; a test picture is below the target at the first CRF.
    RunOutcome avi = Convert(Media("mpeg4.avi"));
    ExpectTaggedFlv(avi, Media("mpeg4.avi"));
    EXPECT_EQ(avi.info.strRoute, "vbr");
    EXPECT_EQ(avi.info.nCrf, 24);
    EXPECT_EQ(avi.info.vProbes.size(), 1u);
    EXPECT_EQ(Probe(avi.outPath).strVideoCodec, "AVC");
}

TEST_F(ConvertRoutes, AShortClipIsEncodedOnce)
{
    // ffmpeg behind a stand-in that notes every run. A short clip's prediction encodes all of it
    // with the final line; when its CRF stands, that output is the converted file, byte for byte
    // what a separate final encode makes. The still picture meets the target at once, the noise
    // only after several tries (or at the limit). x264 notes its thread count in the stream, so
    // the encoders are not pinned to one processor here, like the bare run below.
    WriteConfig(600000, true, false);
    CTempDir tools;
    const std::string runs = tools.Path() + "runs";
    const std::string ffmpeg = tools.Path() + "ffmpeg";
    WriteFile(ffmpeg, "#!/bin/sh\necho \"$*\" >> '" + runs + "'\nexec '" + CodecsDir() + "ffmpeg' \"$@\"\n");
    chmod(ffmpeg.c_str(), 0755);
    for (const char* name : {"mpeg4.avi", "noise.mp4"}) {
        SCOPED_TRACE(name);
        const std::string src = Media(name);
        RemoveFileIfAny(runs);
        _sConvertOptions o = MakeOptions(m_out->Path() + "out");
        o.strFfmpegPath = ffmpeg;
        RunOutcome r = RunWorker(_sConvertTask{src, NewFileIndex(), Probe(src)}, o);
        ExpectTaggedFlv(r, src);
        ASSERT_EQ(r.info.strRoute, "vbr");
        EXPECT_TRUE(r.info.bPredictionKept);
        std::istringstream lines(ReadFile(runs));
        size_t encodes = 0;
        for (std::string line; std::getline(lines, line);)
            encodes += line.find(" -crf ") != std::string::npos;
        EXPECT_EQ(encodes, r.info.vProbes.size()) << ReadFile(runs);
        EXPECT_EQ(r.info.nCrf, r.info.vProbes.back().first);

        // The final encode run on its own, tagged with the same text.
        MiData in = Probe(src), out = Probe(r.outPath);
        MiData dst = in;
        ASSERT_EQ(MakeDestMiData(in, o, "idx", &dst, 1), 0);
        const std::string bare = tools.Path() + "bare.flv", tagged = tools.Path() + "bare.tagged.flv";
        RemoveFileIfAny(bare);
        RemoveFileIfAny(tagged);
        CCommandLine line = MakeVbrCommand(
            CodecsDir() + "ffmpeg", src, EncodeTarget{dst.nChannels, dst.fFrameRate, dst.nWidth, dst.nHeight},
            r.info.nCrf, "", bare);
        ASSERT_EQ(RunProgram(line.exe, line.args, {}, 120000).exitCode, 0);
        ASSERT_EQ(
            RunProgram(CodecsDir() + "Yamdi-Extend", {"-i", bare, "-o", tagged, "-c", out.strEncodedApp})
                .exitCode,
            0);
        MiData ref = Probe(tagged);
        EXPECT_EQ(out.strVideoCodec, ref.strVideoCodec);
        EXPECT_EQ(out.strAudioCodec, ref.strAudioCodec);
        EXPECT_EQ(out.nWidth, ref.nWidth);
        EXPECT_EQ(out.nHeight, ref.nHeight);
        EXPECT_EQ(out.nChannels, ref.nChannels);
        for (int s : {MI_GENERAL, MI_VIDEO, MI_AUDIO}) {
            EXPECT_EQ(out.nDuration[s], ref.nDuration[s]) << s;
            EXPECT_EQ(out.nBitRate[s], ref.nBitRate[s]) << s;
        }
        // The metadata carries the time of its writing; every tag after it must be the same.
        EXPECT_TRUE(FlvTagsAfterMetadata(r.outPath) == FlvTagsAfterMetadata(tagged))
            << "the kept prediction differs from the encode";
    }
}

TEST_F(ConvertRoutes, VariableRateSourcesGoThroughMiddleFiles)
{
    // Variable frame rate: mencoder's AVI first, then the encode.
    RunOutcome vfr = Convert(Media("vfr.mp4"));
    ExpectTaggedFlv(vfr, Media("vfr.mp4"));
    EXPECT_EQ(vfr.info.strRoute, "middle-AVI+vbr");
    // Interlaced MPEG-2 (variable bit rate) takes the same way.
    RunOutcome il = Convert(Media("interlaced.mpg"));
    ExpectTaggedFlv(il, Media("interlaced.mpg"));
    EXPECT_EQ(il.info.strRoute, "middle-AVI+vbr");
    // A BDAV stream is rewritten by the TS remuxer.
    ASSERT_EQ(Probe(Media("bdav.m2ts")).strFormat[MI_GENERAL], "BDAV");
    RunOutcome ts = Convert(Media("bdav.m2ts"));
    ExpectTaggedFlv(ts, Media("bdav.m2ts"));
    EXPECT_EQ(ts.info.strRoute.rfind("middle-TS+", 0), 0u) << ts.info.strRoute;
}

TEST_F(ConvertRoutes, FixedRateMode)
{
    RunOutcome r = Convert(Media("interlaced.mpg"), CODEC_CBR);
    ExpectTaggedFlv(r, Media("interlaced.mpg"));
    EXPECT_EQ(r.info.strRoute, "cbr");
    // A picture full of noise needs all of the rate: the encoder keeps near it.
    RunOutcome n = Convert(Media("noise.mp4"), CODEC_CBR);
    ExpectTaggedFlv(n, Media("noise.mp4"));
    MiData out = Probe(n.outPath);
    EXPECT_NEAR(out.nBitRate[MI_VIDEO], 307200, 307200 * 0.25) << out.nBitRate[MI_VIDEO];
}

TEST_F(ConvertRoutes, AudioGetsThePicture)
{
    for (const char* name : {"tone.mp3", "tone.wav"}) {
        RunOutcome r = Convert(Media(name));
        ExpectTaggedFlv(r, Media(name));
        EXPECT_TRUE(r.outPath.ends_with(".audioc.flv")) << r.outPath;
        MiData out = Probe(r.outPath);
        EXPECT_EQ(out.ucVideoCount, 1);
        EXPECT_LE(out.nChannels, 2);
    }
}

TEST_F(ConvertRoutes, FinishedFlvIsTaggedOrCopied)
{
    RunOutcome tag = Convert(Media("plain.flv"));
    ExpectTaggedFlv(tag, Media("plain.flv"));
    EXPECT_EQ(tag.info.strRoute, "tag");
    EXPECT_TRUE(tag.outPath.ends_with("plain.flv.asc.flv"));
    EXPECT_EQ(tag.progress.back(), 99);

    RunOutcome copy = Convert(Media("tagged.flv"));
    ExpectTaggedFlv(copy, Media("tagged.flv"));
    EXPECT_EQ(copy.info.strRoute, "copy");
    EXPECT_TRUE(copy.outPath.ends_with("/tagged.flv"));
    EXPECT_EQ(ReadFile(copy.outPath), ReadFile(Media("tagged.flv")));

    // Our own outputs, added again, are recognised by their tag and not converted twice.
    for (const std::string& done : {tag.outPath, Convert(Media("h264.mp4")).outPath}) {
        CTempDir again;
        const std::string name = again.Path() + "again.flv";
        ASSERT_TRUE(CopyFileReplace(done, name)) << done;
        RunOutcome r = Convert(name);
        ExpectTaggedFlv(r, name);
        EXPECT_EQ(r.info.strRoute, "copy") << done;
    }
}

TEST_F(ConvertRoutes, ATaggedFileWithoutASeekIndexFailsTheConversion)
{
    // A tagger that writes our tag but leaves the keyframe index out, as a plain remux does.
    CTempDir tools;
    const std::string tagger = tools.Path() + "Yamdi-Extend";
    WriteFile(tagger, "#!/bin/sh\n# -i IN -o OUT -c TEXT\nexec '" + CodecsDir() +
                          "ffmpeg' -nostdin -v error -y -i \"$2\" -c copy -fflags +bitexact "
                          "-metadata creator=\"$6\" -f flv \"$4\"\n");
    chmod(tagger.c_str(), 0755);
    _sConvertOptions o = MakeOptions(m_out->Path() + "out");
    o.strYamdiPath = tagger;
    for (const char* media : {"plain.flv", "tone.mp3"}) { // tag only, and encode + tag
        const std::string index = std::string("idx-noindex-") + media;
        RunOutcome r = RunWorker(_sConvertTask{Media(media), index, Probe(Media(media))}, o);
        EXPECT_EQ(r.code, CV_BAD_METADATA) << media;
        EXPECT_TRUE(r.outPath.empty());
        EXPECT_FALSE(DirExists(m_out->Path() + "out/" + index)) << media;
    }
    const std::string log = ReadFile(m_data->Path() + "Log/convert.txt");
    EXPECT_NE(log.find("metadata check failed: the metadata has no keyframe index"), std::string::npos)
        << log;
}

TEST_F(ConvertRoutes, HostileNamesReachTheEncodersUnchanged)
{
    CTempDir dir;
    const std::string name = dir.Path() + "-a b'c\";$HOME 中文 (1).mp4";
    ASSERT_TRUE(CopyFileReplace(Media("h264.mp4"), name));
    const std::string marker = dir.Path() + "pwned";
    RunOutcome r = Convert(name);
    ExpectTaggedFlv(r, name);
    EXPECT_NE(r.outPath.find("中文 (1).mp4.asc.flv"), std::string::npos);
    // The same name through the middle-file way (mencoder reads our copy of it).
    const std::string vfrName = dir.Path() + "-v;x`touch pwned` 变速.mp4";
    ASSERT_TRUE(CopyFileReplace(Media("vfr.mp4"), vfrName));
    ExpectTaggedFlv(Convert(vfrName), vfrName);
    EXPECT_FALSE(FileExists(marker));
}

TEST_F(ConvertRoutes, NamesTooLongForTheOutputAreShortened)
{
    // 250-byte names: with ".asc.flv" or ".audioc.flv" added they exceed the file system's 255.
    CTempDir dir;
    const std::string latin = dir.Path() + std::string(246, 'v') + ".mp4";
    std::string cjk;
    for (int i = 0; i < 82; ++i)
        cjk += "课";
    const std::string chinese = dir.Path() + cjk + ".mp3"; // 246 + 4 bytes
    ASSERT_TRUE(CopyFileReplace(Media("h264.mp4"), latin));
    ASSERT_TRUE(CopyFileReplace(Media("tone.mp3"), chinese));
    for (const std::string& src : {latin, chinese}) {
        RunOutcome r = Convert(src);
        ExpectTaggedFlv(r, src);
        std::string name = r.outPath.substr(r.outPath.rfind('/') + 1);
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(name.ends_with(src == latin ? ".mp4.asc.flv" : ".mp3.audioc.flv")) << name;
        // Cut at a character boundary: what is left is whole characters.
        std::string stem = name.substr(0, name.find('.'));
        if (src == chinese) {
            EXPECT_EQ(stem.size() % 3, 0u) << name;
        }
    }
}

TEST_F(ConvertRoutes, AStopRightAfterTaggingLeavesNothing)
{
    for (const char* media : {"tone.mp3", "plain.flv"}) { // encode + tag, and tag only
        SCOPED_TRACE(media);
        const std::string index = std::string("idx-stop-") + media;
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        int result = 0;
        CConvertThread worker(1, 1, [&](CConvertThread*, _sConvertReport&& r) {
            std::lock_guard<std::mutex> lock(m);
            if (r.nCode == CR_WORKER_DONE)
                done = true;
            else if (r.nCode != CR_PROGRESS)
                result = r.nCode;
            cv.notify_all();
        });
        worker.SetAfterStepHook([&](const std::string& step) {
            if (step == "tag")
                worker.RequestStop();
        });
        ASSERT_EQ(worker.Assign(_sConvertTask{Media(media), index, Probe(Media(media))},
                                MakeOptions(m_out->Path() + "out")),
                  0);
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return done; }));
        lock.unlock();
        worker.Join();
        EXPECT_EQ(result, 0) << "a stopped run reports no result";
        EXPECT_FALSE(DirExists(m_out->Path() + "out/" + index)) << "copy.flv or tag.copy.flv left behind";
    }
}

TEST_F(ConvertRoutes, WideInterlacedClipIsDeinterlacedNarrowOneIsNot)
{
    const std::string wide = Media("wide-interlaced-6s.mpg"), narrow = Media("interlaced.mpg");
    ASSERT_EQ(ToLower(Probe(wide).strScanType), "interlaced");
    ASSERT_EQ(Probe(wide).nWidth, 720);
    ASSERT_EQ(ToLower(Probe(narrow).strScanType), "interlaced");
    ExpectTaggedFlv(Convert(wide, CODEC_CBR), wide);
    ExpectTaggedFlv(Convert(narrow, CODEC_CBR), narrow);
    std::string wideLine, narrowLine;
    std::istringstream log(ReadFile(m_data->Path() + "Log/convert.txt"));
    for (std::string line; std::getline(log, line);) {
        if (line.find("Info : DoCBR") == std::string::npos)
            continue;
        if (line.find("wide-interlaced-6s.mpg") != std::string::npos)
            wideLine = line;
        else if (line.find("/interlaced.mpg") != std::string::npos)
            narrowLine = line;
    }
    EXPECT_NE(wideLine.find("-s 720x576 -vf yadif -c:v libx264"), std::string::npos) << wideLine;
    ASSERT_FALSE(narrowLine.empty());
    EXPECT_EQ(narrowLine.find("yadif"), std::string::npos) << narrowLine;
}

TEST_F(ConvertRoutes, ALongClipIsPredictedOnItsMiddleTwoMinutes)
{
    const std::string src = Media("long130.avi");
    ASSERT_GT(Probe(src).nDuration[MI_VIDEO], 120000);
    RunOutcome r = Convert(src);
    ExpectTaggedFlv(r, src);
    EXPECT_FALSE(r.info.vProbes.empty());
    std::string predict;
    std::istringstream log(ReadFile(m_data->Path() + "Log/convert.txt"));
    for (std::string line; std::getline(log, line);)
        if (line.find("Info : Convert predict. way(") != std::string::npos)
            predict = line;
    // 130 s: the sample starts at 130 / 2 - 60 = 5 s and lasts two minutes.
    EXPECT_NE(predict.find("way(Convert 2min)"), std::string::npos) << predict;
    EXPECT_NE(predict.find("-ss 00:00:05 -i"), std::string::npos) << predict;
    EXPECT_NE(predict.find("-t 00:02:00"), std::string::npos) << predict;
}

TEST_F(ConvertRoutes, FailuresAreReportedAndLeaveNothing)
{
    // Not media: no streams.
    RunOutcome bad = Convert(Media("notmedia.mp4"), CODEC_VBR, "idx-bad");
    EXPECT_EQ(bad.code, CV_NO_STREAMS);
    // Missing source, an index that would leave OUTPATH, a wrong mode, no output root.
    _sConvertTask gone{m_out->Path() + "nothing.mp4", "idx-gone", Probe(Media("h264.mp4"))};
    EXPECT_EQ(RunWorker(gone, MakeOptions(m_out->Path() + "out")).code, CV_NOT_FOUND);
    _sConvertTask escape{Media("h264.mp4"), "../escape", Probe(Media("h264.mp4"))};
    EXPECT_EQ(RunWorker(escape, MakeOptions(m_out->Path() + "out")).code, CV_BAD_PATH);
    EXPECT_FALSE(FileExists(m_out->Path() + "escape"));
    _sConvertTask ok{Media("h264.mp4"), "idx-mode", Probe(Media("h264.mp4"))};
    EXPECT_EQ(RunWorker(ok, MakeOptions(m_out->Path() + "out", 3)).code, CV_BAD_CODEC_MODE);
    EXPECT_EQ(RunWorker(ok, MakeOptions("")).code, CV_NO_OUTPATH);
    _sConvertOptions noTools = MakeOptions(m_out->Path() + "out");
    noTools.strYamdiPath = m_out->Path() + "missing";
    EXPECT_EQ(RunWorker(ok, noTools).code, CV_NO_TOOLS);
    // No size anywhere.
    _sConvertTask sizeless{Media("h264.mp4"), "idx-size", Probe(Media("h264.mp4"))};
    sizeless.miData.nWidth = 0;
    _sConvertOptions noRc = MakeOptions(m_out->Path() + "out");
    noRc.unRc[0] = noRc.unRc[1] = 0;
    EXPECT_EQ(RunWorker(sizeless, noRc).code, CV_NO_SIZE);
}

TEST_F(ConvertRoutes, DurationCheckRejectsAShortOutput)
{
    // The record claims twice the real length: with needcheck on, the output is refused and
    // deleted; with it off, it is accepted.
    _sConvertTask task{Media("h264.mp4"), "idx-long", Probe(Media("h264.mp4"))};
    task.miData.nDuration[MI_GENERAL] *= 2;
    task.miData.nDuration[MI_VIDEO] *= 2;
    RunOutcome r = RunWorker(task, MakeOptions(m_out->Path() + "out", CODEC_CBR));
    EXPECT_EQ(r.code, CV_CHECK_FAILED);
    EXPECT_FALSE(DirExists(m_out->Path() + "out/idx-long"));
    WriteConfig(600000, false);
    task.strFileIndex = "idx-long2";
    EXPECT_EQ(RunWorker(task, MakeOptions(m_out->Path() + "out", CODEC_CBR)).code, CR_SUCCESS);
}

TEST_F(ConvertRoutes, SilentEncoderIsEndedAndChattyOneIsNot)
{
    // Stand-ins for ffmpeg: one prints nothing, one prints a status line every 0.3 s for 3 s.
    WriteConfig(1000, true); // the limit doubles to 2 s on a machine with few processors
    CTempDir tools;
    const std::string silent = tools.Path() + "ffmpeg-silent";
    const std::string chatty = tools.Path() + "ffmpeg-chatty";
    const std::string pidFile = tools.Path() + "pid";
    WriteFile(silent, "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec sleep 30\n");
    WriteFile(chatty,
              "#!/bin/sh\nfor i in 1 2 3 4 5 6 7 8 9 10; do echo \"time=00:00:0$i.00\" >&2; sleep 0.3; done\n"
              "exit 3\n");
    chmod(silent.c_str(), 0755);
    chmod(chatty.c_str(), 0755);
    _sConvertTask task{Media("tone.mp3"), "idx-silent", Probe(Media("tone.mp3"))};
    _sConvertOptions o = MakeOptions(m_out->Path() + "out");
    o.strFfmpegPath = silent;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(RunWorker(task, o).code, CV_FAILED);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(secs, 10);
    int pid = atoi(ReadFile(pidFile).c_str());
    ASSERT_GT(pid, 0);
    EXPECT_NE(kill(pid, 0), 0); // ended and reaped

    o.strFfmpegPath = chatty;
    task.strFileIndex = "idx-chatty";
    EXPECT_EQ(RunWorker(task, o).code, CV_FAILED);
    std::string log = ReadFile(m_data->Path() + "Log/convert.txt");
    EXPECT_NE(log.find("exit code=3"), std::string::npos); // it ran to its own end
    EXPECT_EQ(
        log.find(
            "no changed more than 0 min, l_dwRet=258 , code:=0 , the process will be terminated, cmd(\"" +
            chatty),
        std::string::npos);
}

} // namespace
} // namespace vx::test
