#pragma once
// What the lists need from the window around them, without knowing the pipeline: the
// language texts, the database and user for storing records and sort orders, and the request
// the pipeline serves (delete the selected rows). CLoopListHost posts it through the message
// loop with the file indexes it names, so a selection changed meanwhile cannot redirect it.

#include "platform/MessageLoop.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

class CAppConfig;
class CLocalDb;

class IListHost
{
public:
    virtual ~IListHost() = default;
    // list: 1 the course list, 2 the converted list.
    virtual void DeleteItems(int list, const std::vector<std::string>& fileIndexes) = 0;
};

// Posts WM_DELETE_ITEMS (3039, wParam the list, payload the file indexes) to the pipeline's
// target.
class CLoopListHost : public IListHost
{
public:
    CLoopListHost(CMessageLoop& loop, MsgTarget target) : m_loop(loop), m_target(target) {}
    void DeleteItems(int list, const std::vector<std::string>& fileIndexes) override;

private:
    CMessageLoop& m_loop;
    MsgTarget m_target;
};

struct ListContext
{
    CAppConfig* config = nullptr; // texts, user id and options; null: no texts, nothing stored
    CLocalDb* db = nullptr;       // null: records and sort orders are not stored
    IListHost* host = nullptr;    // null: delete requests are dropped
};

} // namespace vx
