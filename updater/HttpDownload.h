#pragma once
// Downloads the installer over HTTP/1.1 with byte ranges on its own thread (over TLS with a
// verified certificate for an https address), resuming after a broken or silent connection,
// then runs it with "/verysilent". Every outcome reaches the
// owner through the status sink, called from the download thread: (DS_NONE, 0..99) progress,
// (DS_NONE, kDownloadDone) installed, or exactly one failure (code, system error code). A
// stopped download reports nothing more.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vx {

// Waits and limits. The defaults are the product's; tests shorten some.
struct DownloadSettings
{
    std::string tempFolder; // empty: the user's temporary folder
    int stallMs = 2000;     // silence that ends an attempt
    int maxAttempts = 50;
    int connectMs = 10000;     // a pending connect
    int installWaitMs = 30000; // how long the installer may run
    int stopWaitMs = 5000;     // how long Stop waits for the thread
    // Authorities an https server's certificate must chain to, as one PEM file; empty: the
    // system's (which SSL_CERT_FILE may point elsewhere).
    std::string caFile;
};

class CHttpDownload
{
public:
    using StatusSink = std::function<void(int status, uint32_t value)>;

    using Settings = DownloadSettings;

    static constexpr uint32_t kBufferSize = 131072;

    explicit CHttpDownload(StatusSink sink, Settings settings = Settings());
    ~CHttpDownload();
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    // Starts the download of url (backslashes count as "/"). False when one is running.
    bool Begin(const std::string& url);
    // Asks the thread to end and waits up to stopWaitMs. A thread that is still busy then is
    // left to finish on its own; it reports nothing and owns what it still uses.
    void Stop();
    // Deletes the temp file; a failure is ignored (an installer may still be running it).
    void DeleteTempFile();
    // Where the installer is (being) written; known once Begin was called.
    const std::string& TempFilePath() const { return m_strTempPath; }

private:
    struct Job;
    static void Run(std::shared_ptr<Job> job);

    StatusSink m_sink;
    Settings m_settings;
    std::string m_strTempPath;
    std::shared_ptr<Job> m_job;
    std::thread m_thread;
};

} // namespace vx
