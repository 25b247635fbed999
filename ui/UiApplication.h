#pragma once
// The main program's Qt side for its whole run: the QApplication, the icon resources, the
// application icon and the bridge that lets the program's message loop run inside Qt's.
// Created first in main() and destroyed last, after the application object (and with it
// every worker thread) is gone.
//
// Without a display (no DISPLAY or WAYLAND_DISPLAY and no QT_QPA_PLATFORM chosen) Qt is
// started on its offscreen platform, so the program's headless start-up keeps working on
// servers and in scripts.

#include <QLocale>
#include <QString>
#include <memory>

class QApplication;
class QTranslator;

namespace vx {

class CQtLoopBridge;

// Registers the icon and style resources of the static library (idempotent).
void InitUiResources();
// Gives every window the program's one stylesheet (resources/style/vexora.qss). Called once,
// right after the application object is made. False when the resource is missing.
bool ApplyStyleSheet(QApplication& app);

// Qt's own texts (the file dialog, standard buttons) in the language of locale when Qt has a
// translation for it, else in Chinese like the program's texts. Returns the translation's
// file name ("qtbase_zh_CN"), empty when none could be loaded (the dialogs stay in English).
QString InstallQtTranslations(const QLocale& locale);

class CUiApplication
{
public:
    CUiApplication(int& argc, char** argv);
    ~CUiApplication();
    CUiApplication(const CUiApplication&) = delete;
    CUiApplication& operator=(const CUiApplication&) = delete;

    QApplication& App() { return *m_app; }
    CQtLoopBridge& Bridge() { return *m_bridge; }

private:
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<CQtLoopBridge> m_bridge;
};

} // namespace vx
