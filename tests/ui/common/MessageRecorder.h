#pragma once
// Stands in for the main window: records the messages a window sends it, with their wParam.

#include "platform/MessageLoop.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace vx::test {

class CMessageRecorder : public IMsgHandler
{
public:
    explicit CMessageRecorder(CMessageLoop& loop) : m_loop(loop), m_target(loop.Register(this)) {}
    ~CMessageRecorder() override { m_loop.Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload>) override
    {
        ids.push_back(id);
        params.push_back(wParam);
    }
    int Count(uint32_t id) const { return static_cast<int>(std::count(ids.begin(), ids.end(), id)); }
    MsgTarget Target() const { return m_target; }
    std::vector<uint32_t> ids;
    std::vector<uint64_t> params;

private:
    CMessageLoop& m_loop;
    MsgTarget m_target;
};

} // namespace vx::test
