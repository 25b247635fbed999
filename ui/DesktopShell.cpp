#include "ui/DesktopShell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QThreadPool>

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
    // Connecting to the session bus may start one (dbus-launch), and the file manager may take
    // its time: both happen on a pool thread. The fallback opens the folder back on the
    // window's thread, where the desktop services live.
    const QString uri = FileUri(path);
    const QString folder = FallbackFolder(path);
    QThreadPool::globalInstance()->start([uri, folder] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.FileManager1"),
                QStringLiteral("/org/freedesktop/FileManager1"),
                QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
            call << QStringList{uri} << QString();
            if (bus.call(call, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage)
                return;
        }
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); },
                Qt::QueuedConnection);
    });
    return true;
}

bool CSystemDesktopShell::OpenFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool CSystemDesktopShell::OpenUrl(const QString& url)
{
    const QUrl u(url);
    if (!u.isValid() || (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")))
        return false;
    return QDesktopServices::openUrl(u);
}

} // namespace vx
