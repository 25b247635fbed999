#pragma once
// One running program per user: the first instance listens on a local socket named after the
// user's data folder; a second start connects, asks it to raise its login or main window and
// ends. The lock file of the single-instance check decides who is first; the socket only
// carries the request to raise.

#include <QLocalServer>
#include <QString>
#include <functional>

namespace vx {

class CInstanceServer : public QObject
{
    Q_OBJECT

public:
    // raise: brings the login or main window to the front; false when none can be shown.
    explicit CInstanceServer(std::function<bool()> raise, QObject* parent = nullptr);
    // Starts listening (a name left by a crashed run is removed first: the lock is ours).
    bool Listen();

    // The socket name: per user (and per data folder, so test runs never meet the user's).
    static QString ServerName();
    // Asks the running instance to raise a window; true when it answered that one was shown.
    static bool RaiseRunning(int timeoutMs = 2000);

private:
    QLocalServer m_server;
    std::function<bool()> m_raise;
};

} // namespace vx
