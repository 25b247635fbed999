#include "ui/UiApplication.h"

#include "ui/LoopBridge.h"

#include <QApplication>
#include <QIcon>

static void InitIconResource()
{
    Q_INIT_RESOURCE(icons); // outside any namespace, as the macro requires
}

namespace vx {

void InitUiResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        InitIconResource();
    }
}

namespace {

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

CUiApplication::CUiApplication(int& argc, char** argv)
{
    if (!HasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    m_app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VexoraV2"));
    InitUiResources();
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vexora_%1.png").arg(s));
    QApplication::setWindowIcon(icon);
    m_bridge = std::make_unique<CQtLoopBridge>();
}

CUiApplication::~CUiApplication()
{
    m_bridge.reset(); // uninstalls the wake hook; the workers are joined by now
    m_app.reset();
}

} // namespace vx
