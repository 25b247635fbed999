#include "ui/main/InstanceServer.h"

#include "app/LogFile.h"
#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace vx {

namespace {
const QByteArray kRaise = "raise\n";
const QByteArray kShown = "shown\n";
const QByteArray kNone = "none\n";
} // namespace

CInstanceServer::CInstanceServer(std::function<bool()> raise, QObject* parent)
    : QObject(parent), m_raise(std::move(raise))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [this, s] {
                if (!s->canReadLine())
                    return;
                const QByteArray line = s->readLine(64);
                if (line == kRaise) {
                    const bool shown = m_raise && m_raise();
                    s->write(shown ? kShown : kNone);
                    s->flush();
                }
                s->disconnectFromServer();
            });
        }
    });
}

QString CInstanceServer::ServerName()
{
    const QByteArray folder = QByteArray::fromStdString(GetDataFolder());
    return QStringLiteral("VexoraV2-") +
           QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Md5).toHex().left(16));
}

bool CInstanceServer::Listen()
{
    QLocalServer::removeServer(ServerName());
    if (!m_server.listen(ServerName())) {
        Log(g_log, "Warning : the instance socket %s could not listen: %s", ServerName().toUtf8().constData(),
            m_server.errorString().toUtf8().constData());
        return false;
    }
    return true;
}

bool CInstanceServer::RaiseRunning(int timeoutMs)
{
    QLocalSocket s;
    s.connectToServer(ServerName());
    if (!s.waitForConnected(timeoutMs))
        return false;
    s.write(kRaise);
    s.flush(); // a request this short leaves at once
    while (!s.canReadLine()) {
        if (!s.waitForReadyRead(timeoutMs))
            return false;
    }
    return s.readLine(64) == kShown;
}

} // namespace vx
