#include "ui/CourseDetailWnd.h"

#include "ui/DesktopShell.h"
#include "ui_CourseDetail.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

namespace vx {

CCourseDetailWnd::CCourseDetailWnd(QWidget* owner, const QString& sourcePath, const QString& convertedPath,
                                   const QString& spacePath)
    : CVxDialog(owner), m_form(std::make_unique<Ui::CourseDetail>())
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    BindForm("CourseDetail", RequiredControls(), 32);
    // Labels have no click of their own: the two clickable paths report through Notify too.
    for (const char* name : {"sourseFilePath", "DestFilePath", "SpaceFilePath"})
        if (auto* l = Control<QLabel>(name))
            l->installEventFilter(this);
    SetPaths(sourcePath, convertedPath, spacePath);
    CenterOverOwner();
}

CCourseDetailWnd::~CCourseDetailWnd() = default;

QStringList CCourseDetailWnd::RequiredControls()
{
    return {QStringLiteral("sourseFilePath"), QStringLiteral("DestFilePath"), QStringLiteral("SpaceFilePath"),
            QStringLiteral("closebtn"),       QStringLiteral("cancelbtn"),    QStringLiteral("okbtn")};
}

void CCourseDetailWnd::SetPaths(const QString& sourcePath, const QString& convertedPath,
                                const QString& spacePath)
{
    m_strSource = sourcePath;
    m_strConverted = convertedPath;
    m_strSpace = spacePath;
    RefreshLabels();
}

void CCourseDetailWnd::RefreshLabels()
{
    ShowPath("sourseFilePath", m_strSource);
    ShowPath("DestFilePath", m_strConverted);
    ShowPath("SpaceFilePath", m_strSpace);
}

void CCourseDetailWnd::ShowPath(const char* label, const QString& path)
{
    auto* l = Control<QLabel>(label);
    if (!l)
        return;
    // Long paths keep their beginning and their file name; the tooltip has the whole path.
    const int room = std::max(40, l->contentsRect().width() - 8);
    l->setText(QFontMetrics(l->font()).elidedText(path, Qt::ElideMiddle, room));
    l->setToolTip(path);
}

void CCourseDetailWnd::resizeEvent(QResizeEvent* e)
{
    CVxDialog::resizeEvent(e);
    RefreshLabels();
}

bool CCourseDetailWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint()))
            SendNotify(w, QStringLiteral("click"));
    }
    return CVxDialog::eventFilter(watched, e);
}

void CCourseDetailWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click"))
        return;
    if (msg.senderName == QLatin1String("DestFilePath"))
        Desktop().RevealFile(m_strConverted);
    else if (msg.senderName == QLatin1String("sourseFilePath"))
        Desktop().RevealFile(m_strSource);
    else if (msg.senderName == QLatin1String("closebtn") || msg.senderName == QLatin1String("cancelbtn") ||
             msg.senderName == QLatin1String("okbtn"))
        done(1);
}

} // namespace vx
