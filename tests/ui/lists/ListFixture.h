#pragma once
// What the list tests share: records in every state, a configuration with the shipped Chinese
// texts, a real database file, and a host that serves the lists' requests through the real
// message loop and keeps what reached the pipeline's side.

#include "app/AppConfig.h"
#include "net/SpaceApi.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"
#include "platform/MessageLoop.h"
#include "store/LocalDb.h"
#include "ui/lists/ListHost.h"
#include "ui/lists/RecordListView.h"

#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

// A record with a readable file index ("idx-<n>") and a name.
_sLCItemData MakeRecord(int n, const std::string& name, int32_t status = CS_WAIT_MEDIAINFO);
// n records in a mix of states, types, sizes and Chinese and Latin names.
std::vector<_sLCItemData> MixedRecords(int n);

// A window that keeps what its lists told it, in order: "itemclick", "selectchanged" (count,
// status), "statechanged" and "delete" (the Delete key's request).
class CListRecorder : public QWidget
{
public:
    struct Event
    {
        QString sType;
        int64_t wParam = 0;
        int64_t lParam = 0;
    };
    CListRecorder() { resize(400, 300); }
    void Watch(CRecordListView* list)
    {
        connect(list, &CRecordListView::ItemClicked, this,
                [this] { messages.push_back({QStringLiteral("itemclick")}); });
        connect(list, &CRecordListView::SelectChanged, this, [this](int count, int status) {
            messages.push_back({QStringLiteral("selectchanged"), count, status});
        });
        connect(list, &CRecordListView::StateChanged, this,
                [this] { messages.push_back({QStringLiteral("statechanged")}); });
        connect(list, &CRecordListView::DeleteRequested, this,
                [this] { messages.push_back({QStringLiteral("delete")}); });
    }
    int Count(const QString& type) const
    {
        int n = 0;
        for (const Event& e : messages)
            n += e.sType == type;
        return n;
    }
    std::vector<Event> messages;
};

struct ListEnv;
// The status stored in the env's database for a file index (-1 when none is stored).
int32_t StoredStatus(ListEnv& env, const std::string& fileIndex);

// The pipeline's side of the message loop: keeps every message it receives.
struct LoopRecorder : IMsgHandler
{
    struct Msg
    {
        uint32_t id;
        uint64_t wParam;
        std::vector<std::string> indexes;
    };
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;
    std::vector<Msg> messages;
};

struct ListEnv
{
    ListEnv();
    ~ListEnv();
    ListContext Context();
    std::string Path(const std::string& name) const;

    QTemporaryDir dir;
    std::unique_ptr<CAppConfig> config;
    std::unique_ptr<CLocalDb> db;
    CMessageLoop loop;
    LoopRecorder pipeline;
    MsgTarget target = 0;
    std::unique_ptr<CLoopListHost> host;
};

// The path the window gives the workers' reports: the real pipeline, written against the lists'
// models exactly as the main window wires it, its messages delivered by the env's loop. No
// session runs, so nothing is handed to a worker.
struct ListPipeline : IPipelineUi
{
    ListPipeline(ListEnv& env, ICourseList& courses, IConvertedList& converted);
    ~ListPipeline() override;
    // Posts as a worker does and delivers everything due.
    void Send(const _sConvertReport& report);
    void Send(const _sTransReport& report);
    void Post(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload);

    // IPipelineUi: every question answered "yes", nothing shown.
    int MessageBox(const std::string&, int) override { return 1; }
    void SpaceWarning(int64_t, const std::string&) override {}
    void RevealFile(const std::string&) override {}
    void OfferShutdown() override {}
    ListEnv& env;
    CMemFolderTree tree;
    CMemSpaceList space;
    std::unique_ptr<CSpaceApi> api;
    CMemPowerRequest power{false}; // never held (no system bus here)
    std::unique_ptr<CCoursePipeline> pipeline;
};

} // namespace vx::test
