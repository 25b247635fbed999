// vx_store_bench FOLDER [FILES] [UPDATES] [REFERENCE_UPDATES]
// Saves FILES course files in one batch, loads them back (best of three) and then writes
// UPDATES single status changes the way the pipeline does (one UpdateCourseFile per report),
// once with the program's write-ahead log and once with SQLite's default rollback journal on a
// fresh file in FOLDER. The reference's durable commits are slow, so it may run fewer updates;
// per-update figures are compared. Prints one line per figure and the ratio WAL / default.

#include "platform/Paths.h"
#include "store/LocalDb.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace vx;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures
{
    double saveMs = 0, loadMs = 0, updateMs = 0; // updateMs: per update
    bool ok = true;
};

_sLCItemData Course(int n)
{
    char index[40];
    snprintf(index, sizeof(index), "%08x-%04x-%04x-%016x", n * 2654435761u, n & 0xffff, 0x4000 | (n & 0xfff),
             n * 40503u);
    _sLCItemData r;
    r.strFileIndex = index;
    r.strFileName = "第" + std::to_string(n) + "课 O'Neil.mp4";
    r.strFilePath = "/home/teacher/课程/" + r.strFileName;
    r.strConvertPath = "/home/teacher/VexoraTemp/" + r.strFileIndex + "/lesson.flv";
    r.i64DirId = 1000 + n % 50;
    r.i64FileSize = (5LL << 30) + n;
    r.nFileBits = 1500;
    r.nWidth = 1280;
    r.nHeight = 720;
    return r;
}

Figures Run(const std::string& path, bool wal, int files, int updates)
{
    unlink(path.c_str());
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    DbOpenOptions opts;
    opts.bWal = wal;
    CLocalDb db(path, opts);
    Figures f;
    std::vector<_sLCItemData> records;
    for (int i = 0; i < files; ++i)
        records.push_back(Course(i));

    auto t0 = Clock::now();
    f.ok = db.SaveCourseFiles(records, 1);
    f.saveMs = Ms(Clock::now() - t0);

    f.loadMs = 1e9;
    for (int round = 0; round < 3; ++round) {
        std::vector<_sLCItemData> back;
        t0 = Clock::now();
        f.ok = db.LoadCourseFiles(1, &back) && static_cast<int>(back.size()) == files && f.ok;
        f.loadMs = std::min(f.loadMs, Ms(Clock::now() - t0));
    }

    // A record walks through the statuses the workers report, each written on its own.
    static const int kWalk[] = {CS_WAIT_CONVERT, CS_CONVERT_QUEUED, CS_CONVERTING, CS_CONVERTED,
                                CS_WAIT_UPLOAD,  CS_UPLOAD_QUEUED,  CS_UPLOADING,  CS_UPLOADED};
    t0 = Clock::now();
    for (int i = 0; i < updates; ++i) {
        _sLCItemData& r = records[static_cast<size_t>(i) % records.size()];
        r.nStatus = kWalk[(i / files) % 8];
        r.i64FileStart = i;
        r.strModifyTime = "2024- 5-06 12:00:00";
        f.ok = db.UpdateCourseFile(r, 1) && f.ok;
    }
    f.updateMs = updates ? Ms(Clock::now() - t0) / updates : 0;
    return f;
}

void Line(const char* what, double wal, double ref, const char* goal)
{
    printf("store: %-34s WAL %10.4f ms   default journal %10.4f ms   ratio %.3f%s\n", what, wal, ref,
           ref > 0 ? wal / ref : 0.0, goal);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: vx_store_bench FOLDER [FILES] [UPDATES] [REFERENCE_UPDATES]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int files = argc > 2 ? atoi(argv[2]) : 10000;
    const int updates = argc > 3 ? atoi(argv[3]) : 10000;
    const int refUpdates = argc > 4 ? atoi(argv[4]) : 1000;
    if (files <= 0 || updates < 0 || refUpdates < 0 || !MakeDirs(folder)) {
        fprintf(stderr, "vx_store_bench: bad arguments or folder %s cannot be made\n", folder.c_str());
        return 2;
    }
    const Figures wal = Run(JoinPath(folder, "wal.db"), true, files, updates);
    const Figures ref = Run(JoinPath(folder, "journal.db"), false, files, refUpdates);
    if (!wal.ok || !ref.ok) {
        fprintf(stderr, "vx_store_bench: a database operation failed\n");
        return 1;
    }
    char goal[80];
    printf("store: %d course files, %d single updates (reference: %d)\n", files, updates, refUpdates);
    Line("save all in one batch", wal.saveMs, ref.saveMs, "");
    snprintf(goal, sizeof(goal), "   goal < 200 ms: %s", wal.loadMs < 200 ? "met" : "MISSED");
    Line("load all back", wal.loadMs, ref.loadMs, goal);
    snprintf(goal, sizeof(goal), "   goal < 0.2 ms: %s", wal.updateMs < 0.2 ? "met" : "MISSED");
    Line("one status update", wal.updateMs, ref.updateMs, goal);
    return 0;
}
