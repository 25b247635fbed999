#include "ui/UiApplication.h"

#include "ui/LoopBridge.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

static void InitIconResource()
{
    Q_INIT_RESOURCE(icons); // outside any namespace, as the macro requires
    Q_INIT_RESOURCE(style);
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

bool ApplyStyleSheet(QApplication& app)
{
    InitUiResources();
    QFile f(QStringLiteral(":/style/vexora.qss"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    app.setStyleSheet(QString::fromUtf8(f.readAll()));
    return true;
}

QString InstallQtTranslations(const QLocale& locale)
{
    // One translator for the process, replaced when asked again.
    static QTranslator* installed = nullptr;
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* t = new QTranslator(QCoreApplication::instance());
    // An English system has no catalogue (Qt's own texts are English): Chinese then, as the
    // rest of the program speaks.
    const bool ok = (locale.language() != QLocale::English && locale.language() != QLocale::C &&
                     t->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) ||
                    t->load(QStringLiteral("qtbase_zh_CN"), dir);
    if (!ok) {
        delete t;
        return QString();
    }
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    QCoreApplication::installTranslator(t);
    installed = t;
    return QFileInfo(t->filePath()).completeBaseName();
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
    ApplyStyleSheet(*m_app);
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vexora_%1.png").arg(s));
    QApplication::setWindowIcon(icon);
    InstallQtTranslations(QLocale::system());
    m_bridge = std::make_unique<CQtLoopBridge>();
}

CUiApplication::~CUiApplication()
{
    m_bridge.reset(); // uninstalls the wake hook; the workers are joined by now
    m_app.reset();
}

} // namespace vx
