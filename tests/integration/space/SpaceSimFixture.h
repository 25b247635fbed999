#pragma once
// The space controller against the simulator: a logged-in session, a real cache file, the
// owner's message loop pumped by the test, and a page that records what it was asked to show.

#include "common/SimHarness.h"
#include "net/Session.h"
#include "net/SpaceApi.h"
#include "space/SpaceController.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

class CRecordingView : public ISpaceView
{
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool Confirm(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void SpaceChanged(unsigned changes) override { changeBits |= changes; }
    void BeginRename(const SpaceItemRef& item) override { renames.push_back(item); }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::vector<SpaceItemRef> renames;
    std::vector<bool> busyChanges;
    unsigned changeBits = 0;
};

class SpaceSim : public ::testing::Test
{
protected:
    // Starts the simulator with a second account "teacher" in the demo organisation, logs in as
    // user and builds the controller.
    void Start(const std::string& user = "teacher", const std::vector<std::string>& simArgs = {});
    // Loads the tree as a session start does and waits for it.
    void LoadTreeAndWait();
    void Wait();

    // Direct requests, as another client of the same account would make them.
    int64_t MakeDir(int64_t parent, const std::string& name);
    // Uploads a small PDF into folder dirId with the command-line companion.
    void UploadPdf(int64_t dirId, const std::string& name);
    std::vector<SpaceEntry> ServerList(int64_t dirId);

    // Shows folder dirId and waits.
    void Show(int64_t dirId);
    int Row(const std::string& name) const;
    void Select(const std::vector<std::string>& names);
    SpaceItemRef ListRef(const std::string& name) const;
    std::vector<std::string> ListNames() const;
    std::vector<SpaceRow> CachedDirs(int64_t parent);
    // Requests the simulator has answered so far (it logs each one just after answering, so a
    // moment is left for the last line to arrive).
    size_t RequestCount() const;

    int64_t UserId() const { return m_config->m_i64UserId; }
    int64_t OwnRoot() const { return m_ctl->Tree().RootIdOf(UserId()); }
    std::string Text(int n) const { return m_config->GetText(n); }

    CTempDir m_dir;
    CSimProcess m_sim;
    std::string m_user;
    std::string m_password;
    std::unique_ptr<CAppConfig> m_config;
    std::unique_ptr<CSession> m_session;
    std::unique_ptr<CSpaceApi> m_api;
    std::unique_ptr<CLocalDb> m_db;
    CMessageLoop m_loop;
    CRecordingView m_view;
    std::unique_ptr<CSpaceController> m_ctl;
};

} // namespace vx::test
