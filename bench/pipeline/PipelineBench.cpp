// vx_pipeline_bench FOLDER [FILES]
// Stores FILES course files in every status of the queue, then measures (best of three) what a
// session start does with them: read, fold back, place into the course and converted lists and
// sum the size in process. The reference is the bare read of the same rows from the same file
// in the same run. Prints both figures and the ratio; the goal is under 300 ms for 10,000.

#include "app/Utils.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"
#include "platform/Paths.h"
#include "platform/PowerRequest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace vx;
using Clock = std::chrono::steady_clock;

namespace {

class CSilentUi : public IPipelineUi
{
public:
    int MessageBox(const std::string&, int) override { return 0; }
    void SpaceWarning(int64_t, const std::string&) override {}
    void RevealFile(const std::string&) override {}
    void OfferShutdown() override {}
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: vx_pipeline_bench FOLDER [FILES]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int files = argc > 2 ? atoi(argv[2]) : 10000;
    MakeDirs(folder);
    setenv("VEXORA_DATA_DIR", folder.c_str(), 1);
    const std::string dbPath = JoinPath(folder, "bench.db");
    remove(dbPath.c_str());
    CLocalDb db(dbPath);
    const int64_t user = 42;
    std::vector<_sLCItemData> rows;
    for (int n = 0; n < files; ++n) {
        _sLCItemData r;
        r.strFileIndex = NewFileIndex();
        r.strFileName = "第" + std::to_string(n) + "课.mp4";
        r.strFilePath = "/home/teacher/课程/" + r.strFileName;
        r.strConvertPath = "/home/teacher/VexoraTemp/" + r.strFileIndex + "/lesson.flv";
        r.nStatus = 1 + n % 15;
        r.i64FileSize = (1LL << 28) + n;
        r.i64FileEnd = (1LL << 27) + n;
        r.i64DirId = n % 3 == 0 ? 0 : 1000 + n % 50;
        rows.push_back(r);
    }
    if (!db.SaveCourseFiles(rows, user)) {
        fprintf(stderr, "cannot store the records in %s\n", dbPath.c_str());
        return 1;
    }
    // No server is asked: the restore is local work only.
    if (FILE* f = fopen(JoinPath(folder, "Config.ini").c_str(), "w")) {
        fputs("[server]\nHostIP=127.0.0.1:9\n", f);
        fclose(f);
    }
    CAppConfig cfg(JoinPath(folder, "Config.ini"));
    cfg.m_i64UserId = user;
    CSpaceApi api(cfg);
    CSilentUi ui;
    CPowerInhibitor power;
    double bestRead = 1e9, bestRestore = 1e9;
    size_t listed = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<_sLCItemData> raw;
        auto t0 = Clock::now();
        db.GetCourseFile(user, &raw);
        bestRead = std::min(bestRead, Ms(Clock::now() - t0));

        CMemCourseList courses;
        CMemConvertedList converted;
        CMemFolderTree tree;
        CMemSpaceList space;
        CCoursePipeline pipeline(
            PipelineDeps{CMessageLoop::Main(), cfg, db, api, courses, converted, tree, space, ui, power});
        auto t1 = Clock::now();
        pipeline.RestoreRecords();
        volatile double inProcess = pipeline.InProcessSize();
        (void)inProcess;
        bestRestore = std::min(bestRestore, Ms(Clock::now() - t1));
        listed = courses.store.Size() + converted.store.Size();
    }
    printf(
        "| course files | bare read (ms) | session restore (ms) | ratio | goal |\n|---|---|---|---|---|\n");
    printf("| %d (%zu list elements) | %.1f | %.1f | %.2f | restore < 300 ms: %s |\n", files, listed,
           bestRead, bestRestore, bestRestore / bestRead, bestRestore < 300 ? "met" : "MISSED");
    return 0;
}
