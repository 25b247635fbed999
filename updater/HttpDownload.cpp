#include "updater/HttpDownload.h"

#include "platform/File.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Socket.h"
#include "platform/TlsStream.h"
#include "updater/DownloadProtocol.h"
#include "updater/DownloadStatus.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStepMs = 100; // every wait is cut into steps that watch the stop flag

unsigned TickCount()
{
    return static_cast<unsigned>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

} // namespace

// Everything the download thread touches. Shared with the thread, so a thread that outlives
// Stop's wait still finds its state intact.
struct CHttpDownload::Job
{
    Settings settings;
    StatusSink sink;
    std::string url;
    std::string tempPath;

    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::atomic<bool> stop{false};

    std::vector<char> buffer = std::vector<char>(kBufferSize);
    CFile file;
    CSocket sock;
    CTlsStream tls; // in use when parts.tls
    int status = DS_NONE;
    uint32_t sysErr = 0;
    DownloadUrl parts;
    std::string address = "255.255.255.255";
    ResponseHead head;

    // The stop flag is read under the same lock Stop sets it with: once Stop has returned,
    // nothing reaches the owner any more.
    void Post(int code, uint32_t value)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!stop)
            sink(code, value);
    }
    void SetStatus(int code, int err)
    {
        status = code;
        sysErr = static_cast<uint32_t>(err);
    }
    void CloseSocket()
    {
        tls.Close();
        sock.Close();
    }

    // 1 data ready, -1 socket error, -2 silence for timeoutMs or stopped.
    int WaitData(int timeoutMs)
    {
        if (parts.tls && tls.Pending())
            return 1; // already decrypted: the socket itself may stay quiet
        return sock.WaitReadable(timeoutMs, kStepMs, stop);
    }

    // Bytes read (> 0), 0 peer closed, -1 error, -2 a TLS record is still incomplete.
    long Receive(char* buf, size_t len)
    {
        if (parts.tls)
            return tls.Recv(buf, len);
        return sock.ReceiveOnce(buf, len);
    }

    bool Connect();
    bool StartTls();
    bool RequestAndReadHeader(uint32_t start, size_t* headerLen, size_t* got);
    bool Write(const char* data, size_t len);
    void Body();
    void RunInstaller();
};

bool CHttpDownload::Job::Connect()
{
    CloseSocket();
    CSocket::ConnectFailure failure;
    if (!sock.ConnectDotted(address, parts.port, settings.connectMs, &failure, &stop)) {
        SetStatus(DS_CONNECT, failure.code);
        return false;
    }
    // A server that goes quiet in the middle of a record cannot hold a read for ever.
    sock.SetRecvTimeout(10000);
    return true;
}

bool CHttpDownload::Job::StartTls()
{
    std::string err;
    CTlsStream::Result r =
        tls.Handshake(sock.Fd(), parts.hostName, settings.caFile, settings.connectMs, &stop, &err);
    if (r == CTlsStream::Result::Ok)
        return true;
    SetStatus(r == CTlsStream::Result::Untrusted ? DS_TLS_UNTRUSTED : DS_TLS, 0);
    return false;
}

bool CHttpDownload::Job::RequestAndReadHeader(uint32_t start, size_t* headerLen, size_t* got)
{
    head = ResponseHead();
    SetStatus(DS_NONE, 0);
    std::string req = BuildRangeRequest(parts, start);
    if (parts.tls) {
        if (!tls.SendAll(req.data(), req.size(), settings.stallMs, &stop)) {
            SetStatus(DS_SEND, LastSocketError());
            return false;
        }
    } else {
        long sent = sock.SendOnce(req.data(), req.size());
        if (sent != static_cast<long>(req.size())) {
            SetStatus(DS_SEND, sent < 0 ? LastSocketError() : 0);
            return false;
        }
    }
    *got = 0;
    *headerLen = 0;
    int lastErr = 0;
    while (!stop && *got < buffer.size()) {
        int w = WaitData(settings.stallMs);
        if (w <= 0) {
            lastErr = w == -1 ? LastSocketError() : 0;
            break;
        }
        long n = Receive(buffer.data() + *got, buffer.size() - *got);
        if (n == -2)
            continue;
        if (n <= 0) {
            lastErr = n < 0 ? LastSocketError() : 0;
            break;
        }
        *got += static_cast<size_t>(n);
        *headerLen = FindHeaderEnd(buffer.data(), *got);
        if (*headerLen)
            break;
    }
    if (!*headerLen) {
        SetStatus(DS_RECV_HEADER, lastErr);
        return false;
    }
    ParseResponseHead(buffer.data(), *headerLen, &head);
    return true;
}

bool CHttpDownload::Job::Write(const char* data, size_t len)
{
    if (!file.IsOpen()) {
        // Create afresh: an old file (or a planted link) under that name is never written through.
        if (!file.CreateFresh(tempPath, true)) {
            SetStatus(DS_CREATE_FILE, file.LastError());
            return false;
        }
    }
    if (!file.Write(data, len)) {
        SetStatus(DS_WRITE_FILE, file.LastError());
        return false;
    }
    return true;
}

void CHttpDownload::Job::Body()
{
    SetStatus(DS_NONE, 0);
    int rc = SplitDownloadUrl(url, TickCount(), &parts);
    if (rc != DS_NONE) {
        SetStatus(rc, 0);
        Post(status, sysErr);
        return;
    }
    if (IsDottedIPv4(parts.hostName)) {
        address = parts.hostName;
    } else {
        std::string dotted;
        if (ResolveHost(parts.hostName, &dotted)) {
            if (dotted == "255.255.255.255") {
                SetStatus(DS_RESOLVE, errno);
                Post(status, sysErr);
                return;
            }
            address = dotted;
        } // an unknown name keeps the broadcast address: the connect then fails
    }

    uint32_t received = 0, total = 0;
    for (int attempt = 0; attempt < settings.maxAttempts && !stop; ++attempt) {
        uint32_t attemptBytes = 0;
        size_t headerLen = 0, got = 0;
        if (!Connect())
            continue;
        // No TLS session means no request at all: an https address never falls back to clear
        // text, and a server that fails the handshake (or its certificate check) is not asked
        // again.
        if (parts.tls && !StartTls())
            break;
        if (!RequestAndReadHeader(received, &headerLen, &got))
            continue;
        uint32_t contentLength = 0;
        rc = CheckRangeResponse(head, received, total, &contentLength, &total);
        if (rc != DS_NONE) {
            SetStatus(rc, 0);
            break;
        }
        // Body bytes that came with the header; never more than this answer announced.
        size_t early = got - headerLen;
        if (early > contentLength)
            early = contentLength;
        if (early > 0) {
            if (!Write(buffer.data() + headerLen, early))
                break;
            received += static_cast<uint32_t>(early);
            attemptBytes += static_cast<uint32_t>(early);
        }
        while (!stop && attemptBytes < contentLength) {
            int w = WaitData(settings.stallMs);
            if (w <= 0) {
                SetStatus(DS_RECV_BODY, w == -1 ? LastSocketError() : 0);
                break;
            }
            size_t want = contentLength - attemptBytes;
            long n = Receive(buffer.data(), want < buffer.size() ? want : buffer.size());
            if (n == -2)
                continue;
            if (n <= 0) {
                SetStatus(DS_RECV_BODY, n < 0 ? LastSocketError() : 0);
                break;
            }
            if (!Write(buffer.data(), static_cast<size_t>(n)))
                break;
            received += static_cast<uint32_t>(n);
            attemptBytes += static_cast<uint32_t>(n);
            Post(status, static_cast<uint32_t>(static_cast<uint64_t>(received) * 99 / total));
        }
        if (received == total)
            break;
        if (status == DS_CREATE_FILE || status == DS_SEEK_FILE || status == DS_WRITE_FILE)
            break;
    }
    CloseSocket();
    file.Close();
    if (stop)
        return;
    if (status != DS_NONE) {
        Post(status, sysErr);
        return;
    }
    // Only a file of exactly the announced size is ever run.
    if (total == 0 || received != total) {
        Post(DS_INCOMPLETE, received);
        return;
    }
    RunInstaller();
}

void CHttpDownload::Job::RunInstaller()
{
    // Detached: an installer that takes longer than we wait keeps running after we go.
    CProcess installer;
    ProcessOptions opt;
    opt.detached = true;
    bool started = false;
    // A just-written executable can be briefly busy while another thread's child still holds
    // the inherited descriptor between fork and exec; a few short retries cover that.
    for (int i = 0; i < 10 && !started && !stop; ++i) {
        started = installer.Start(tempPath, {"/verysilent"}, opt);
        if (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!started) {
        Post(DS_INSTALL, 0);
        return;
    }
    int exitCode = -1;
    bool ended = false;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(settings.installWaitMs);
    while (!stop && !(ended = installer.TryWait(&exitCode)) && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (stop)
        return;
    if (!ended)
        Post(DS_INSTALL, 0);
    else if (exitCode != 0)
        Post(DS_INSTALLER_EXIT, static_cast<uint32_t>(exitCode));
    else
        Post(DS_NONE, kDownloadDone);
}

CHttpDownload::CHttpDownload(StatusSink sink, Settings settings)
    : m_sink(std::move(sink)), m_settings(std::move(settings))
{
    if (m_settings.tempFolder.empty())
        m_settings.tempFolder = GetTempFolder();
}

CHttpDownload::~CHttpDownload()
{
    Stop();
}

void CHttpDownload::Run(std::shared_ptr<Job> job)
{
    job->Body();
    std::lock_guard<std::mutex> lock(job->mutex);
    job->done = true;
    job->cv.notify_all();
}

bool CHttpDownload::Begin(const std::string& url)
{
    if (m_job)
        return false;
    auto job = std::make_shared<Job>();
    job->settings = m_settings;
    job->sink = m_sink;
    job->url = url;
    for (char& c : job->url)
        if (c == '\\')
            c = '/';
    job->tempPath = DownloadTempPath(job->url, m_settings.tempFolder);
    m_strTempPath = job->tempPath;
    try {
        m_thread = std::thread(&CHttpDownload::Run, job);
    } catch (const std::system_error&) {
        return false;
    }
    m_job = std::move(job);
    return true;
}

void CHttpDownload::Stop()
{
    if (!m_job || !m_thread.joinable())
        return;
    std::unique_lock<std::mutex> lock(m_job->mutex);
    m_job->stop = true;
    bool done = m_job->cv.wait_for(lock, std::chrono::milliseconds(m_settings.stopWaitMs),
                                   [this] { return m_job->done; });
    lock.unlock();
    if (done)
        m_thread.join();
    else
        m_thread.detach(); // it holds its own reference to the job and posts nothing more
}

void CHttpDownload::DeleteTempFile()
{
    if (!m_strTempPath.empty())
        RemoveFileIfAny(m_strTempPath);
}

} // namespace vx
