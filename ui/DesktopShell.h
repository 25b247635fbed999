#pragma once
// The desktop's shell for the windows: reveal a file in the file manager and open a web page
// in the browser. Windows call Desktop(); tests install a recorder with SetDesktop so nothing
// is opened on the machine running them.
//
// The system implementation asks the file manager over D-Bus
// (org.freedesktop.FileManager1.ShowItems, the file selected in its folder) from a thread of
// Qt's pool, so a slow or absent bus never holds the window, and falls back to opening the
// folder with the desktop's default handler; folders open in the file manager, web pages in
// the default browser. Failures are not reported to the user (there is nothing they could do
// about them).

#include <QString>
#include <QUrl>

namespace vx {

class IDesktopShell
{
public:
    virtual ~IDesktopShell() = default;
    // Shows path's folder with the file selected. Asks and returns at once; false when the
    // request could not even be made.
    virtual bool RevealFile(const QString& path) = 0;
    // Opens a local folder in the file manager.
    virtual bool OpenFolder(const QString& path) = 0;
    // Opens an http(s) page in the browser; other addresses are refused.
    virtual bool OpenUrl(const QString& url) = 0;
};

class CSystemDesktopShell : public IDesktopShell
{
public:
    bool RevealFile(const QString& path) override;
    bool OpenFolder(const QString& path) override;
    bool OpenUrl(const QString& url) override;

    // The file URI ShowItems expects (absolute, percent-encoded).
    static QString FileUri(const QString& path);
    // The folder opened when the file manager cannot select the file: the file's folder, or
    // the path itself when it is a folder.
    static QString FallbackFolder(const QString& path);
};

// The shell in use (the system one unless a test set another).
IDesktopShell& Desktop();
// Installs shell (not owned; null restores the system one).
void SetDesktop(IDesktopShell* shell);

} // namespace vx
