#include "ui/VxMessageWnd.h"

#include "ui_VxMessageWnd.h"

namespace vx {

CVxMessageWnd::CVxMessageWnd(QWidget* owner, const QString& caption, const QString& text, int type)
    : CVxDialog(owner), m_form(std::make_unique<Ui::VxMessageWnd>())
{
    m_form->setupUi(this);
    SetCaptionHeight(32);
    m_form->title->setText(TitleFor(caption, type));
    QString shown = text;
    m_form->infor->setText(shown.replace(QLatin1String("@n"), QLatin1String("\n")));
    m_form->shownormal->setVisible(type & MB_VX_NOTAGAIN);
    m_form->okbtn->setVisible(type & MB_VX_OK);
    m_form->cancelbtn->setVisible(type & MB_VX_CANCEL);
    connect(m_form->okbtn, &QPushButton::clicked, this, &CVxMessageWnd::OnOk);
    connect(m_form->cancelbtn, &QPushButton::clicked, this, &CVxMessageWnd::OnCancel);
    connect(m_form->closebtn, &QPushButton::clicked, this, &CVxDialog::CloseWithoutAnswer);
    // The answer the user most likely wants has the focus, and Enter gives it.
    if (type & MB_VX_OK)
        m_form->okbtn->setFocus();
    else if (type & MB_VX_CANCEL)
        m_form->cancelbtn->setFocus();
    CenterOverOwner();
}

CVxMessageWnd::~CVxMessageWnd() = default;

QString CVxMessageWnd::TitleFor(const QString& caption, int type)
{
    if (!caption.isEmpty())
        return caption;
    if (type & MB_VX_WARNING)
        return QStringLiteral("警告");
    if (type & MB_VX_INFO)
        return QStringLiteral("提示");
    if (type & MB_VX_ERROR)
        return QStringLiteral("错误");
    return QString();
}

int CVxMessageWnd::NotAgainBonus() const
{
    return m_form->shownormal->IsSelected() ? IDVX_NOTAGAIN : 0;
}

void CVxMessageWnd::OnOk()
{
    done(IDVX_OK + NotAgainBonus());
}

void CVxMessageWnd::OnCancel()
{
    done(IDVX_CANCEL + NotAgainBonus());
}

int ShowMessageBox(QWidget* owner, const QString& caption, const QString& text, int type, bool autoClose)
{
    CVxMessageWnd box(owner ? owner->window() : nullptr, caption, text, type);
    if (autoClose)
        box.StartAutoClose(kMessageAutoCloseMs);
    return box.exec();
}

CVxMessageWnd* ShowMessageBoxModeless(QWidget* owner, const QString& caption, const QString& text, int type,
                                      std::function<void(int)> onResult, bool autoClose)
{
    auto* box = new CVxMessageWnd(owner ? owner->window() : nullptr, caption, text, type);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    if (onResult)
        QObject::connect(box, &QDialog::finished, box, [onResult](int r) { onResult(r); });
    if (autoClose)
        box->StartAutoClose(kMessageAutoCloseMs);
    box->show();
    return box;
}

} // namespace vx
