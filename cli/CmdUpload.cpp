// vexora upload --dir ID [--server HOST:PORT] [--test-ms MS] FILE...: uploads FLV, PDF and SWF
// files as they are into a remote folder. Digest by the configured rule, the fastest listed file
// server (or the one given), the transfer manager with a progress bar on a terminal and plain
// lines otherwise. A run that is interrupted leaves the server holding what it got; the same
// command again sends only the rest.

#include "app/AppConfig.h"
#include "app/Utils.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "cli/JsonOut.h"
#include "media/FileMd5.h"
#include "net/SpaceApi.h"
#include "platform/FileCheck.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "platform/Terminal.h"
#include "upload/FileServerList.h"
#include "upload/FileTransMgr.h"
#include "upload/UploadMessages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx::cli {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int)
{
    g_interrupted = true;
}

struct Job
{
    std::string path;
    int64_t size = 0;
    uint8_t type = 0;
    std::string md5Hex;
    std::string index;
    int64_t done = 0; // bytes known to be on the server
    bool finished = false;
    int code = 0;
    int32_t svrResult = 0; // the file server's own refusal, when it gave one
    int64_t fileId = 0;
};

uint8_t TypeOf(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 0;
    std::string ext = ToLower(path.substr(dot));
    return ext == ".flv" ? TRANS_FLV : ext == ".pdf" ? TRANS_PDF : ext == ".swf" ? TRANS_SWF : 0;
}

std::string RawFromHex(const std::string& hex)
{
    std::string raw;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        raw.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return raw;
}

std::string ResultText(int code)
{
    switch (code) {
    case TRANS_SHORT:
        return "the data did not reach the end of the file (connection lost, or the file changed since its "
               "digest)";
    case TRANS_BAD_ANSWER:
        return "the file server's answer was unusable (no answer, garbage, or another digest)";
    case TRANS_NO_CONFIRM:
        return "the file server did not confirm the digest";
    case TRANS_NO_ANSWER:
        return "the file server took the connection but did not answer in time";
    case TRANS_SOCKET:
        return "cannot connect to the file server";
    case TRANS_REFUSED:
        return "the file server refused the upload (name taken or quota full)";
    case TRANS_REFUSED_4:
        return "the file server refused the upload (no such folder)";
    case TRANS_OTHER_RESULT:
        return "the file server refused the upload";
    case TRANS_BAD_TASK:
        return "nothing to upload";
    case TRANS_NO_MD5:
        return "no digest";
    default:
        return "upload failed";
    }
}

// What the file server's refusal results mean. The protocol carries only the number, so the
// reason is named here; an unknown number is still printed.
std::string ServerReason(int32_t result)
{
    switch (result) {
    case -1:
        return "it does not accept the request (a file name, file type or length it refuses)";
    case -2:
        return "it does not know this organisation or user";
    case -4:
        return "there is no such folder";
    case -5:
        return "the same content is being uploaded on another connection; try again when that upload has "
               "ended";
    case -6:
        return "a file of that name already exists in the folder";
    case -30000:
        return "the organisation's space is full";
    default:
        return "";
    }
}

// The failure line: the code's meaning and, when the file server refused with a result of its
// own, that result and what it means.
std::string FailureText(int code, int32_t svrResult)
{
    std::string text = ResultText(code);
    if (svrResult != 0 && (code == TRANS_REFUSED || code == TRANS_REFUSED_4 || code == TRANS_OTHER_RESULT)) {
        std::string why = ServerReason(svrResult);
        text = "the file server refused the upload: " + (why.empty() ? "for a reason it did not name" : why) +
               " (server result " + std::to_string(svrResult) + ")";
    }
    return text + " (code " + std::to_string(code) + ")";
}

std::string Duration(double secs)
{
    if (secs < 0 || secs > 359999)
        return "--:--";
    long s = static_cast<long>(secs + 0.5);
    char buf[32];
    if (s >= 3600)
        snprintf(buf, sizeof(buf), "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    else
        snprintf(buf, sizeof(buf), "%ld:%02ld", s / 60, s % 60);
    return buf;
}

std::string Rate(double bytesPerSec)
{
    char buf[32];
    if (bytesPerSec >= 1048576)
        snprintf(buf, sizeof(buf), "%.1f MB/s", bytesPerSec / 1048576);
    else
        snprintf(buf, sizeof(buf), "%.0f KB/s", bytesPerSec / 1024);
    return buf;
}

// Receives the transfer reports on the main loop and draws the progress.
class CUploadView : public IMsgHandler
{
public:
    CUploadView(std::vector<Job>* jobs, bool tty) : m_jobs(jobs), m_tty(tty)
    {
        m_target = CMessageLoop::Main().Register(this);
    }
    ~CUploadView() override { CMessageLoop::Main().Unregister(m_target); }
    MsgTarget Target() const { return m_target; }

    void OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload) override
    {
        auto* r = id == WM_TRANS_RESULT ? PayloadAs<_sTransReport>(payload) : nullptr;
        if (!r)
            return;
        for (Job& j : *m_jobs) {
            if (j.index != r->strFileIndex || j.finished)
                continue;
            if (r->nCode == TR_PROGRESS) {
                if (!m_started && r->nInterval > 0) {
                    m_started = true;
                    m_t0 = Clock::now();
                    m_base = Done();
                }
                j.done = std::max(j.done, r->i64Pos + r->nInterval);
            } else if (r->nCode == TR_UPLOADED) {
                j.done = r->i64Pos;
                j.finished = true;
                j.code = 1;
                j.fileId = r->i64FileId;
            } else if (r->nCode < 0) {
                j.finished = true;
                j.code = r->nCode;
                j.svrResult = r->nSvrResult;
            }
            Draw(false);
        }
    }

    int64_t Done() const
    {
        int64_t d = 0;
        for (const Job& j : *m_jobs)
            d += j.done;
        return d;
    }

    void Draw(bool final)
    {
        int64_t total = 0, finished = 0;
        for (const Job& j : *m_jobs) {
            total += j.size;
            finished += j.finished ? 1 : 0;
        }
        auto now = Clock::now();
        if (!final && now - m_lastDraw < std::chrono::milliseconds(m_tty ? 200 : 2000))
            return;
        m_lastDraw = now;
        int64_t done = Done();
        double pct = total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0;
        // From the first progress report on (a resumed file's first bytes were sent earlier);
        // before any, from the start of the command's upload.
        double secs = std::chrono::duration<double>(now - (m_started ? m_t0 : m_begin)).count();
        int64_t moved = m_started ? done - m_base : done;
        double rate = secs > 0.2 ? static_cast<double>(moved) / secs : 0;
        std::string left = rate > 0 ? Duration(static_cast<double>(total - done) / rate) : "--:--";
        char line[200];
        if (m_tty) {
            const int width = 28;
            int fill = static_cast<int>(pct / 100 * width);
            std::string bar(static_cast<size_t>(std::clamp(fill, 0, width)), '#');
            bar.resize(width, '-');
            snprintf(line, sizeof(line), "\r[%s] %3.0f%%  %-11s %s left  (%lld/%zu files)  ", bar.c_str(),
                     pct, Rate(rate).c_str(), left.c_str(), static_cast<long long>(finished), m_jobs->size());
            fputs(line, stderr);
            if (final)
                fputs("\n", stderr);
        } else {
            snprintf(line, sizeof(line), "upload: %.0f%%  %s  %s left  %lld/%zu files\n", pct,
                     Rate(rate).c_str(), left.c_str(), static_cast<long long>(finished), m_jobs->size());
            fputs(line, stderr);
        }
        fflush(stderr);
    }

private:
    std::vector<Job>* m_jobs;
    bool m_tty;
    MsgTarget m_target = 0;
    bool m_started = false;
    Clock::time_point m_begin = Clock::now();
    Clock::time_point m_t0 = Clock::now();
    Clock::time_point m_lastDraw{};
    int64_t m_base = 0;
};

// The file server to use: the one given, else the fastest listed one, else the configured one.
bool ChooseServer(const std::optional<std::string>& given, int testMs, std::string* host, uint16_t* port)
{
    CAppConfig& cfg = CAppConfig::Instance();
    if (given) {
        std::string h;
        int p = -1;
        ParseEndpoint(*given, &h, &p);
        if (h.empty() || p <= 0 || p > 65535) {
            Fail("--server needs HOST:PORT, not \"" + *given + "\"");
            return false;
        }
        if (!ResolveHost(h, host)) {
            Fail("file server " + h + ": host not found");
            return false;
        }
        *port = static_cast<uint16_t>(p);
        return true;
    }
    *host = cfg.m_strFileSvrHost;
    *port = cfg.m_usFileSvrPort;
    if (!cfg.m_strPreFileSvrHost.empty())
        return true; // a preset server is never replaced by the list
    CSpaceApi api(cfg);
    std::vector<FileServerAddress> servers;
    std::string err;
    if (!api.RequestFtpServer(&servers, &err)) {
        fprintf(stderr, "vexora: file-server list unavailable (%s); using %s:%u\n",
                (err.empty() ? api.GetFailureCause() : err).c_str(), host->c_str(), *port);
        return true;
    }
    CFileServerList list;
    auto test = MakeSpeedTest(servers, list, 0);
    if (test->ServerCount() == 1) {
        std::string h;
        ResolveHost(servers.front().strIp, &h);
        *host = h;
        *port = static_cast<uint16_t>(servers.front().nPort);
        return true;
    }
    if (test->ServerCount() > 1) {
        fprintf(stderr, "vexora: measuring %zu file servers ...\n", test->ServerCount());
        test->SetTimeBudget(testMs);
        test->Start();
        test->Join();
        std::string h;
        uint16_t p = 0;
        if (test->GetResult(&h, &p)) {
            *host = h;
            *port = p;
            return true;
        }
    }
    fprintf(stderr, "vexora: no listed file server answered the speed test; using %s:%u\n", host->c_str(),
            *port);
    return true;
}

int RunUpload(CCliArgs& args)
{
    long long dirId = 0;
    bool haveDir = false;
    if (!args.TakeInt64("--dir", &dirId, &haveDir))
        return UsageError(args, args.Error());
    auto server = args.TakeOption("--server");
    auto testMsText = args.TakeOption("--test-ms");
    if (!args.Error().empty())
        return UsageError(args, args.Error());
    std::vector<std::string> files;
    if (!args.PathPositionals(&files))
        return UsageError(args, args.Error());
    if (!haveDir || dirId <= 0)
        return UsageError(args, "upload needs --dir with the id of a remote folder (above 0)");
    if (files.empty())
        return UsageError(args, "upload needs at least one FILE");
    int testMs = 10000;
    if (!ParseBounded(testMsText, 300, 600000, &testMs))
        return UsageError(args, "--test-ms takes milliseconds from 300 to 600000");

    // Every file is checked before anything goes on the wire.
    std::vector<Job> jobs;
    int failed = 0;
    for (const std::string& f : files) {
        Job j;
        j.path = f;
        j.type = TypeOf(f);
        j.size = FileSize(f);
        std::string problem = DescribeInputFile(f);
        if (!problem.empty() || j.size < 0) {
            Fail("upload " + f + ": " + (problem.empty() ? "no such file" : problem));
            ++failed;
        } else if (j.type == 0) {
            Fail("upload " + f + ": only FLV, PDF and SWF files are uploaded as they are");
            ++failed;
        } else if (j.size == 0) {
            Fail("upload " + f + ": the file is empty; there is nothing to upload");
            ++failed;
        } else {
            jobs.push_back(j);
        }
    }
    if (jobs.empty())
        return kExitFailed;

    int rc = kExitOk;
    if (!LoginForCommand(args, &rc))
        return rc;
    CAppConfig& cfg = CAppConfig::Instance();

    signal(SIGINT, OnInterrupt);
    signal(SIGTERM, OnInterrupt);
    for (Job& j : jobs) {
        FileMd5Result r;
        int code = GetFileMd5(j.path, EffectiveMd5Rule(cfg.m_nMd5Rule), &g_interrupted, &r);
        if (g_interrupted)
            return Fail("upload interrupted");
        if (code != MD5_OK)
            return Fail("upload " + j.path + ": cannot read the file (" +
                        strerror(r.nErrno ? r.nErrno : EIO) + ")");
        j.md5Hex = r.strMd5;
        j.size = r.i64Length;
        j.index = NewFileIndex();
    }

    std::string host;
    uint16_t port = 0;
    if (!ChooseServer(server, testMs, &host, &port))
        return kExitFailed;
    fprintf(stderr, "vexora: uploading %zu file(s) to %s:%u\n", jobs.size(), host.c_str(), port);

    const bool tty = IsTerminal(StdStream::Err) && !args.Json();
    CUploadView view(&jobs, tty);
    _sTransInit init;
    init.m_uMaxWorkNum = static_cast<int32_t>(std::min<size_t>(jobs.size(), 2));
    init.hWnd = view.Target();
    init.uMsgId = WM_TRANS_RESULT;
    init.strSvrHost = host;
    init.usSvrPort = port;
    init.i64OrgId = cfg.m_i64OrgId;
    init.i64UserId = cfg.m_i64UserId;
    CFileTransMgr mgr;
    if (!mgr.Init(init))
        return Fail("upload: no upload worker could start (organisation or user missing)");
    for (const Job& j : jobs) {
        _sTransTask t;
        t.strFileIndex = j.index;
        t.i64ParentId = dirId;
        t.strMd5 = RawFromHex(j.md5Hex);
        t.strPath = j.path;
        t.i64EndPos = j.size;
        t.nFileType = j.type;
        t.strSvrHost = host;
        t.usSvrPort = port;
        mgr.AddTransferFile(t);
    }
    auto allDone = [&] {
        return g_interrupted ||
               std::all_of(jobs.begin(), jobs.end(), [](const Job& j) { return j.finished; });
    };
    while (!CMessageLoop::Main().PumpUntil(allDone, 1000)) {
        view.Draw(false);
    }
    mgr.StopWork();
    CMessageLoop::Main().PumpUntil([] { return false; }, 50); // reports that were on their way
    view.Draw(true);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (g_interrupted)
        return Fail("upload interrupted; the same command again resumes where the file server stands");

    for (const Job& j : jobs) {
        if (j.code != 1) {
            ++failed;
            Fail("upload " + j.path + " to " + host + ":" + std::to_string(port) + ": " +
                 FailureText(j.code, j.svrResult));
            continue;
        }
        if (args.Json()) {
            CJsonOut o;
            o.Text("file", j.path);
            o.Int("fileId", j.fileId);
            o.Int("size", j.size);
            o.Text("md5", j.md5Hex);
            o.Int("dir", dirId);
            o.Text("server", host + ":" + std::to_string(port));
            PrintJsonLine(o);
        } else {
            printf("%s\tfile id %lld\t%lld bytes\tmd5 %s\n", PlainText(j.path).c_str(),
                   static_cast<long long>(j.fileId), static_cast<long long>(j.size), j.md5Hex.c_str());
        }
    }
    fflush(stdout);
    return failed == 0 ? kExitOk : kExitFailed;
}

} // namespace

VX_CLI_COMMAND("upload", "upload --dir ID [--server HOST:PORT] [--test-ms MS] FILE...",
               "upload FLV, PDF and SWF files into a remote folder (resumes an interrupted upload)",
               RunUpload);

} // namespace vx::cli
