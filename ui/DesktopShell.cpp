#include "ui/DesktopShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>

namespace vx {

namespace {

IDesktopShell* g_shell = nullptr;

} // namespace

IDesktopShell& Desktop()
{
    static CSystemDesktopShell system;
    return g_shell ? *g_shell : system;
}

void SetDesktop(IDesktopShell* shell)
{
    g_shell = shell;
}

QString CSystemDesktopShell::FileUri(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString CSystemDesktopShell::FallbackFolder(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
}

bool CSystemDesktopShell::RevealFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{FileUri(path)} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FallbackFolder(path)));
}

bool CSystemDesktopShell::OpenUrl(const QString& url)
{
    const QUrl u(url);
    if (!u.isValid() || (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")))
        return false;
    return QDesktopServices::openUrl(u);
}

} // namespace vx
