#pragma once
// Small media clips made once per test program with ffmpeg's generators (lavfi), plus the odd
// files the probe must survive. Everything lives in one temporary folder.

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
    std::string Dir() const { return m_dir.Path(); }

    std::string Mp4() const { return m_dir.File("av.mp4"); }    // H.264 + AAC, 160x120, 1 s
    std::string Mp3() const { return m_dir.File("audio.mp3"); } // audio only
    std::string Vfr() const { return m_dir.File("vfr.mp4"); }   // variable frame rate, no audio
    std::string Ts() const { return m_dir.File("clip.ts"); }    // MPEG-2 interlaced + MP2
    std::string Flv() const { return m_dir.File("clip.flv"); }  // Sorenson + MP3
    std::string Chinese() const { return m_dir.File("课程 视频 第1讲.mp4"); }
    std::string TextAsMp4() const { return m_dir.File("notes.mp4"); } // a text file
    std::string Empty() const { return m_dir.File("empty.mp4"); }
    std::string Missing() const { return m_dir.File("missing.mp4"); }

    // A fresh file in the set's folder with the given bytes.
    std::string MakeFile(const std::string& name, const std::string& bytes);

private:
    CTestMedia();
    bool Ffmpeg(const std::vector<std::string>& args);

    CTempDir m_dir;
    bool m_ok = false;
    std::string m_error;
};

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
