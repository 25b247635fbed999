// Upload throughput against a raw TCP copy, in the same run on the same machine:
//  - upload: the upload worker sends FILE to the configured file server (the simulator); the
//    data phase is timed from the first block read to the last send;
//  - raw: a plain sender (1 MiB reads, one send call each) into a sink process that waits,
//    receives up to 256 KiB and writes it at its place in a file: the simulator's file-server
//    loop.
// Rounds alternate (raw first, then upload first, ...); the best round of each is compared.
//
// usage: vx_upload_bench CONFIG FILE DIR_ID SINK_FOLDER [ROUNDS]   (account: VEXORA_USER/_PASSWORD)

#include "app/AppConfig.h"
#include "media/FileMd5.h"
#include "net/Session.h"
#include "platform/Socket.h"
#include "platform/Utf8.h"
#include "upload/FileTransThread.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vx;
using Clock = std::chrono::steady_clock;

namespace {

std::string RawOfHex(const std::string& hex)
{
    std::string raw;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        raw.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return raw;
}

// One upload round; returns MiB/s of the data phase, or -1.
double UploadRound(CAppConfig& cfg, const std::string& file, int64_t dirId, int round)
{
    // A different first byte each round, so the server does not already hold the content.
    int fd = open(file.c_str(), O_WRONLY);
    char mark = static_cast<char>('A' + round);
    if (fd < 0 || pwrite(fd, &mark, 1, 0) != 1)
        return -1;
    close(fd);
    // And a name of its own: the folder refuses a taken name with other content.
    const std::string path = file + "." + std::to_string(round) + ".flv";
    unlink(path.c_str());
    if (link(file.c_str(), path.c_str()) != 0)
        return -1;
    FileMd5Result md5;
    if (GetFileMd5(path, EffectiveMd5Rule(cfg.m_nMd5Rule), nullptr, &md5) != MD5_OK)
        return -1;
    int code = 0;
    _sTransWorkerParam p;
    p.i64OrgId = cfg.m_i64OrgId;
    p.i64UserId = cfg.m_i64UserId;
    p.fnReport = [&code](TransReportPtr r) {
        if (r->nCode < 0 || r->nCode == TR_UPLOADED)
            code = r->nCode;
    };
    CFileTransThread w(p, 1);
    w.SetTuning({cfg.m_nRecvNum, 10000, 0});
    _sTransTask t;
    t.strFileIndex = "bench-" + std::to_string(round);
    t.i64ParentId = dirId;
    t.strMd5 = RawOfHex(md5.strMd5);
    t.strPath = path;
    t.i64EndPos = md5.i64Length;
    t.nFileType = TRANS_FLV;
    t.strSvrHost = cfg.m_strFileSvrHost;
    t.usSvrPort = cfg.m_usFileSvrPort;
    bool ok = w.AssignTask(t) == TRANS_ASSIGNED && w.Join(600000) && code == TR_UPLOADED;
    unlink(path.c_str());
    if (!ok) {
        fprintf(stderr, "upload round %d failed (code %d)\n", round, code);
        return -1;
    }
    if (w.LastSentBytes() != md5.i64Length)
        return -1;
    return static_cast<double>(w.LastSentBytes()) / 1048576.0 /
           (static_cast<double>(w.LastSendMicros()) / 1e6);
}

// One raw round; returns MiB/s from the first read to the last send.
double RawRound(const std::string& file, const std::string& sinkFolder)
{
    int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(lfd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(lfd, 1) != 0)
        return -1;
    socklen_t sl = sizeof(sa);
    getsockname(lfd, reinterpret_cast<sockaddr*>(&sa), &sl);
    std::string sinkPath = sinkFolder + "/raw.sink";
    // The sink is a process of its own, like the file server.
    pid_t sink = fork();
    if (sink == 0) {
        int c = accept(lfd, nullptr, nullptr);
        int out = open(sinkPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // The file server's loop: wait for data, take up to 256 KiB, write it at its place.
        std::vector<char> buf(256 * 1024);
        int64_t have = 0;
        for (;;) {
            pollfd pf{c, POLLIN, 0};
            if (poll(&pf, 1, 200) <= 0)
                continue;
            ssize_t n = recv(c, buf.data(), buf.size(), 0);
            if (n <= 0)
                break;
            if (pwrite(out, buf.data(), static_cast<size_t>(n), have) != n)
                break;
            have += n;
        }
        close(out);
        close(c);
        _exit(0);
    }
    CSocket s;
    double rate = -1;
    if (s.Connect("127.0.0.1", ntohs(sa.sin_port), 5000)) {
        FILE* f = fopen(file.c_str(), "rb");
        std::vector<char> buf(1 << 20);
        int64_t total = 0;
        auto t0 = Clock::now();
        for (size_t n; f && (n = fread(buf.data(), 1, buf.size(), f)) > 0; total += static_cast<int64_t>(n))
            if (s.SendAll(buf.data(), n, 10000) != SockResult::Ok)
                break;
        double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        if (f)
            fclose(f);
        rate = static_cast<double>(total) / 1048576.0 / secs;
        s.Close();
    }
    waitpid(sink, nullptr, 0);
    close(lfd);
    unlink(sinkPath.c_str());
    return rate;
}

} // namespace

int main(int argc, char** argv)
{
    InitUtf8Locale();
    IgnoreSigpipe();
    if (argc < 5) {
        fprintf(stderr, "usage: vx_upload_bench CONFIG FILE DIR_ID SINK_FOLDER [ROUNDS]\n");
        return 2;
    }
    CAppConfig cfg(argv[1]);
    const std::string file = argv[2];
    const int64_t dirId = atoll(argv[3]);
    const std::string sinkFolder = argv[4];
    const int rounds = argc > 5 ? atoi(argv[5]) : 3;
    CSession session(cfg);
    LoginRequest r;
    r.userName = getenv("VEXORA_USER") ? getenv("VEXORA_USER") : "demo";
    r.password = getenv("VEXORA_PASSWORD") ? getenv("VEXORA_PASSWORD") : "demo123";
    if (!session.Login(r) || !session.PermissionGranted()) {
        fprintf(stderr, "login failed\n");
        return 1;
    }
    double bestUp = 0, bestRaw = 0;
    for (int i = 0; i < rounds; ++i) {
        // Dirty pages of the previous round would throttle whichever sink writes next; the
        // order alternates so that drift in the machine's load favours neither side.
        double raw = 0, up = 0;
        for (int k = 0; k < 2; ++k) {
            sync();
            if ((i + k) % 2 == 0)
                raw = RawRound(file, sinkFolder);
            else
                up = UploadRound(cfg, file, dirId, i);
        }
        if (raw < 0 || up < 0)
            return 1;
        printf("round %d: upload %.0f MiB/s, raw TCP copy %.0f MiB/s\n", i + 1, up, raw);
        bestUp = std::max(bestUp, up);
        bestRaw = std::max(bestRaw, raw);
    }
    printf("upload data phase (best): %.0f MiB/s\n", bestUp);
    printf("raw TCP copy (best):      %.0f MiB/s\n", bestRaw);
    printf("ratio upload/raw: %.2f (goal >= 0.80)\n", bestUp / bestRaw);
    return 0;
}
