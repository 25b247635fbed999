#include "ui/CourseDetailWnd.h"

#include "ui/DesktopShell.h"
#include "ui_CourseDetailWnd.h"

#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>

namespace vx {

CCourseDetailWnd::CCourseDetailWnd(QWidget* owner, const QString& sourcePath, const QString& convertedPath,
                                   const QString& spacePath)
    : CVxDialog(owner), m_form(std::make_unique<Ui::CourseDetailWnd>())
{
    m_form->setupUi(this);
    SetCaptionHeight(32);
    connect(m_form->sourseFilePath, &QPushButton::clicked, this, &CCourseDetailWnd::OnRevealSource);
    connect(m_form->DestFilePath, &QPushButton::clicked, this, &CCourseDetailWnd::OnRevealConverted);
    for (QPushButton* b : {m_form->okbtn, m_form->cancelbtn, m_form->closebtn})
        connect(b, &QPushButton::clicked, this, [this] { done(1); });
    SetPaths(sourcePath, convertedPath, spacePath);
    m_form->sourseFilePath->setFocus();
    CenterOverOwner();
}

CCourseDetailWnd::~CCourseDetailWnd() = default;

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
    ShowPath(m_form->sourseFilePath, m_strSource);
    ShowPath(m_form->DestFilePath, m_strConverted);
    ShowPath(m_form->SpaceFilePath, m_strSpace);
}

void CCourseDetailWnd::ShowPath(QWidget* target, const QString& path)
{
    // Long paths keep their beginning and their file name; the tooltip and the accessible
    // name have the whole path.
    QRect text = target->contentsRect();
    if (qobject_cast<QPushButton*>(target)) {
        QStyleOptionButton opt;
        opt.initFrom(target);
        text = target->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, target);
    }
    const int room = std::max(40, text.width() - 8);
    const QString shown = QFontMetrics(target->font()).elidedText(path, Qt::ElideMiddle, room);
    if (auto* b = qobject_cast<QPushButton*>(target))
        b->setText(shown);
    else if (auto* l = qobject_cast<QLabel*>(target))
        l->setText(shown);
    target->setToolTip(path);
    target->setAccessibleName(path);
}

void CCourseDetailWnd::resizeEvent(QResizeEvent* e)
{
    CVxDialog::resizeEvent(e);
    RefreshLabels();
}

void CCourseDetailWnd::OnRevealSource()
{
    Desktop().RevealFile(m_strSource);
}

void CCourseDetailWnd::OnRevealConverted()
{
    Desktop().RevealFile(m_strConverted);
}

} // namespace vx
