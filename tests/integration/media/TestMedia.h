#pragma once
// Small media clips made with ffmpeg's generators (lavfi), plus the odd files the probe must
// survive. CTest runs each case as a process of its own, so the set is made once in the build
// tree (under a file lock, with a stamp naming the recipe) and only read afterwards; files a
// test makes itself go to a private temporary folder.

#include "common/TestUtil.h"
#include "platform/MessageLoop.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

class CTestMedia
{
public:
    // The shared set, made on first use; empty paths when ffmpeg failed (Ok() is false).
    static CTestMedia& Get();

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    const std::string& Dir() const { return m_dir; }

    std::string Mp4() const { return File("av.mp4"); }    // H.264 + AAC, 160x120, 1 s
    std::string Mp3() const { return File("audio.mp3"); } // audio only
    std::string Vfr() const { return File("vfr.mp4"); }   // variable frame rate, no audio
    std::string Ts() const { return File("clip.ts"); }    // MPEG-2 interlaced + MP2
    std::string Flv() const { return File("clip.flv"); }  // Sorenson + MP3
    std::string Chinese() const { return File("课程 视频 第1讲.mp4"); }
    std::string TextAsMp4() const { return File("notes.mp4"); } // a text file
    std::string Empty() const { return File("empty.mp4"); }
    std::string Missing() const { return File("missing.mp4"); }

    // A fresh file in this process's private folder with the given bytes.
    std::string MakeFile(const std::string& name, const std::string& bytes);

private:
    CTestMedia();
    bool Make();
    bool Ffmpeg(const std::vector<std::string>& args);
    std::string File(const std::string& name) const { return m_dir + name; }

    std::string m_dir; // the shared set, ending in '/'
    CTempDir m_scratch;
    bool m_ok = false;
    std::string m_error;
};

// False where the encoders these clips need cannot run (the Windows leg); cases that need them
// skip there with VX_SKIP_ON_WINDOWS(kNoEncoders).
bool EncodersAvailable();

// Deterministic bytes for digest tests.
std::string PatternBytes(size_t n, uint32_t seed);

// Collects what the workers post, for a loop that the test pumps itself.
class CCollector : public IMsgHandler
{
public:
    struct Msg
    {
        uint32_t id;
        int64_t code;
        std::unique_ptr<CMsgPayload> payload;
    };
    explicit CCollector(CMessageLoop& loop) : m_loop(loop), m_target(loop.Register(this)) {}
    ~CCollector() override { m_loop.Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override
    {
        m_msgs.push_back({id, static_cast<int64_t>(wParam), std::move(payload)});
    }
    MsgTarget Target() const { return m_target; }
    // Pumps until n messages have arrived or ms have passed.
    bool WaitFor(size_t n, int ms)
    {
        return m_loop.PumpUntil([&] { return m_msgs.size() >= n; }, ms);
    }
    std::vector<Msg>& Msgs() { return m_msgs; }

private:
    CMessageLoop& m_loop;
    MsgTarget m_target;
    std::vector<Msg> m_msgs;
};

} // namespace vx::test
