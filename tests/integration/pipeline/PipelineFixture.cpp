#include "PipelineFixture.h"

#include "net/Session.h"
#include "platform/Paths.h"

namespace vx::test {

void PipelineTest::Boot(const std::vector<std::string>& simArgs, int speedTestMs)
{
    dir = std::make_unique<CTempDir>();
    data = std::make_unique<CScopedDataDir>();
    ASSERT_TRUE(sim.Start(simArgs));
    const std::string ini = sim.WriteConfig(dir->Path());
    if (shippedDefaults) {
        ASSERT_TRUE(WriteFile(dir->File("shipped.ini"), shippedDefaults()));
        cfg = std::make_unique<CAppConfig>(ini, dir->File("shipped.ini"));
    } else {
        cfg = std::make_unique<CAppConfig>(ini);
    }
    CSession session(*cfg);
    ASSERT_TRUE(session.Login({CSimProcess::DemoUser(), CSimProcess::DemoPassword(), false, false}) &&
                session.PermissionGranted())
        << session.GetFailureCause();
    DbOpenOptions o;
    o.strMountsFile = dir->File("no-mounts");
    db = std::make_unique<CLocalDb>(dir->File("course.db"), o);
    ASSERT_TRUE(db->IsOpen());
    // The user's options: conversions into the test's folder.
    _sSetData options;
    options.strConvertPath = dir->File("converted");
    options.nUploadMax = 2;
    ASSERT_TRUE(db->UpDateSetData(options, cfg->m_i64UserId));
    api = std::make_unique<CSpaceApi>(*cfg);
    courses.onChanged = [this](const std::string& idx, const _sLCItemData* r) {
        if (!r)
            return;
        auto& h = history[idx];
        if (h.empty() || h.back() != r->nStatus)
            h.push_back(r->nStatus);
    };
    PipelineTuning tuning;
    tuning.speedTestMs = speedTestMs;
    tuning.workCheckMs = 200;
    tuning.strProgramFolder = BinDir();
    if (tune)
        tune(tuning);
    pipeline = std::make_unique<CCoursePipeline>(
        PipelineDeps{loop, *cfg, *db, *api, courses, converted, tree, space, ui, power}, tuning);
}

void PipelineTest::TearDown()
{
    pipeline.reset();
}

void PipelineTest::StartSession()
{
    pipeline->OnFileServerList();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 30000));
    root = pipeline->RootFolder();
    ASSERT_GT(root, 0);
    tree.Select(root);
    space.Show(root);
}

bool PipelineTest::RunUntilIdle(int ms)
{
    return loop.PumpUntil([&] { return !pipeline->IsCourseWorking() && loop.NextTimerDueMs() < 0; }, ms);
}

std::string PipelineTest::MakeFile(const std::string& relPath, const std::string& bytes)
{
    std::string path = dir->File(relPath);
    MakeDirs(path.substr(0, path.find_last_of('/')));
    WriteFile(path, bytes);
    return path;
}

std::map<std::string, int64_t> PipelineTest::RemoteFiles(int64_t dirId)
{
    std::vector<SpaceEntry> entries;
    std::string err;
    std::map<std::string, int64_t> out;
    if (!api->RequestForDirList(dirId, true, &entries, &err))
        return out;
    for (const SpaceEntry& e : entries)
        if (e.nType != SPACE_FOLDER)
            out[e.strName] = e.i64Size;
    return out;
}

const _sLCItemData* PipelineTest::Record(const std::string& fileIndex)
{
    if (const _sLCItemData* r = courses.Find(fileIndex))
        return r;
    return converted.Find(fileIndex);
}

} // namespace vx::test
