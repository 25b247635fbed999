#pragma once
// A logged-in pipeline against the simulator: its own data folder, database file and
// configuration, the in-memory models, a scripted user (answers to questions, a record of what
// was shown) and a stand-in for the power manager (the real one needs a system bus).

#include "common/SimHarness.h"
#include "common/TestUtil.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseIntake.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

class CScriptedUi : public IPipelineUi
{
public:
    int MessageBox(const std::string& text, int type) override
    {
        boxes.push_back({text, type});
        if (onQuestion && type == 21)
            return onQuestion(text);
        return answer;
    }
    void SpaceWarning(int64_t left, const std::string& title) override { warnings.push_back({left, title}); }
    void RevealFile(const std::string& path) override { revealed.push_back(path); }
    void DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries) override
    {
        skipped.insert(skipped.end(), entries.begin(), entries.end());
    }
    void OfferShutdown() override { ++shutdownOffers; }
    void SignedOut() override { ++signedOut; }

    struct Box
    {
        std::string text;
        int type;
    };
    std::vector<Box> boxes;
    std::vector<std::pair<int64_t, std::string>> warnings;
    std::vector<std::string> revealed;
    std::vector<std::pair<std::string, std::string>> skipped;
    int shutdownOffers = 0;
    int signedOut = 0;
    int answer = 1;
    std::function<int(const std::string&)> onQuestion;
};

class PipelineTest : public ::testing::Test
{
protected:
    // Starts the simulator (extra arguments as for CSimProcess::Start), logs in as the demo
    // user and builds the pipeline (not yet started: call StartSession).
    void Boot(const std::vector<std::string>& simArgs = {}, int speedTestMs = 300);
    void TearDown() override;
    // OnFileServerList and the session start, pumped until the session runs.
    void StartSession();
    // Pumps until nothing is working and no timer is due, at most ms.
    bool RunUntilIdle(int ms = 120000);
    // A file under the test's folder with the given bytes.
    std::string MakeFile(const std::string& relPath, const std::string& bytes);
    // The files the simulator holds in folder dirId (name -> size).
    std::map<std::string, int64_t> RemoteFiles(int64_t dirId);
    // A record of the course list or else of the converted list (null when neither has it).
    const _sLCItemData* Record(const std::string& fileIndex);
    // Every status a record went through, in order (repeats collapsed).
    const std::vector<int32_t>& History(const std::string& fileIndex) { return history[fileIndex]; }

    CSimProcess sim;
    std::unique_ptr<CTempDir> dir;
    std::unique_ptr<CScopedDataDir> data;
    std::unique_ptr<CAppConfig> cfg;
    std::unique_ptr<CLocalDb> db;
    std::unique_ptr<CSpaceApi> api;
    // Applied to the pipeline's settings before Boot builds it.
    std::function<void(PipelineTuning&)> tune;
    // The text of a shipped defaults file read behind the test's Config.ini (none when empty);
    // called by Boot once the simulator runs.
    std::function<std::string()> shippedDefaults;
    CMemCourseList courses;
    CMemConvertedList converted;
    CMemFolderTree tree;
    CMemSpaceList space;
    CScriptedUi ui;
    CMemPowerRequest power;
    // The managers post to the main loop, so the pipeline runs on it.
    CMessageLoop& loop = CMessageLoop::Main();
    std::unique_ptr<CCoursePipeline> pipeline;
    std::map<std::string, std::vector<int32_t>> history;
    int64_t root = 0;
};

constexpr int64_t kGB = 1024LL * 1024 * 1024;

// A record in a known state; its source does not exist.
inline _sLCItemData Rec(const std::string& idx, int32_t status, int64_t size = 0, int64_t end = 0)
{
    _sLCItemData r;
    r.strFileIndex = idx;
    r.strFileName = idx + ".mp4";
    r.strFilePath = "/nowhere/" + idx + ".mp4";
    r.nStatus = status;
    r.i64FileSize = size;
    r.i64FileEnd = end;
    return r;
}

// A running session whose records the test places itself (listed and stored).
class PipelineRules : public PipelineTest
{
protected:
    void SetUp() override
    {
        VX_SKIP_LISTED_ON_WINDOWS();
        Boot();
        StartSession();
    }
    void Put(const _sLCItemData& r)
    {
        courses.AddRecord(r, true);
        if (r.nStatus >= CS_CONVERTED)
            converted.AddRecord(r, true);
        ASSERT_TRUE(db->SaveCourseFiles({r}, cfg->m_i64UserId));
    }
};

} // namespace vx::test
