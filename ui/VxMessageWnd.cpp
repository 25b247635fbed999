#include "ui/VxMessageWnd.h"

#include "ui/VXButtonUI.h"
#include "ui/VXCheckBox.h"
#include "ui_VXMsgWnd.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vx {

namespace {

const char* const kOkAttrs =
    "name=\"okbtn\" width=\"70\" height=\"25\" bordersize=\"1\" bordercolor=\"#FF328CDF\" "
    "textcolor=\"#FF328CDF\" bkcolor=\"#FFC0E1FF\" hottextcolor=\"#FFF7F7F7\" "
    "hotbkcolor=\"#FF328CDF\"";
const char* const kCancelAttrs =
    "name=\"cancelbtn\" width=\"70\" height=\"25\" bordersize=\"1\" "
    "bordercolor=\"#FF328CDF\" textcolor=\"#FF328CDF\" hottextcolor=\"#FFF7F7F7\" "
    "hotbkcolor=\"#FF328CDF\" pushedtextcolor=\"#FF328CDF\"";

} // namespace

CVxMessageWnd::CVxMessageWnd(QWidget* owner, const QString& caption, const QString& text, int type)
    : CVxDialog(owner), m_form(std::make_unique<Ui::VXMsgWnd>())
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    BuildButtons(type);
    BindForm("VXMsgWnd", RequiredControls(), 32);
    if (auto* t = Control<QLabel>("title"))
        t->setText(TitleFor(caption, type));
    if (auto* i = Control<QLabel>("infor")) {
        QString shown = text;
        i->setText(shown.replace(QLatin1String("@n"), QLatin1String("\n")));
    }
    CenterOverOwner();
}

CVxMessageWnd::~CVxMessageWnd() = default;

QStringList CVxMessageWnd::RequiredControls()
{
    return {QStringLiteral("title"), QStringLiteral("infor"), QStringLiteral("LayoutBtn"),
            QStringLiteral("closebtn")};
}

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

void CVxMessageWnd::BuildButtons(int type)
{
    auto* box = Control<QWidget>("LayoutBtn");
    if (!box)
        return;
    auto* row = qobject_cast<QHBoxLayout*>(box->layout());
    if (!row) {
        row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
    }
    row->addStretch(1);
    if (type & MB_VX_NOTAGAIN) {
        m_pShowNormal = new CVXCheckBox(box);
        m_pShowNormal->setObjectName(QStringLiteral("shownormal"));
        m_pShowNormal->setFixedWidth(80);
        m_pShowNormal->SetAttribute(QStringLiteral("textcolor"), QStringLiteral("0xff000000"));
        m_pShowNormal->SetAttribute(QStringLiteral("textpadding"), QStringLiteral("20,0,0,0"));
        m_pShowNormal->SetAttribute(QStringLiteral("bkimage"), QStringLiteral("check_normal.svg"));
        m_pShowNormal->SetAttribute(QStringLiteral("hotimage"), QStringLiteral("check_hot.svg"));
        m_pShowNormal->SetAttribute(QStringLiteral("checkedimage"), QStringLiteral("check_checked.svg"));
        m_pShowNormal->SetAttribute(QStringLiteral("selecthotimage"),
                                    QStringLiteral("check_checked_hot.svg"));
        m_pShowNormal->SetText(QStringLiteral("不再提示"));
        row->addWidget(m_pShowNormal);
        row->addSpacing(20);
    }
    if (type & MB_VX_OK) {
        auto* ok = new CVXButtonUI(box);
        ok->ApplyAttributeList(QString::fromLatin1(kOkAttrs));
        ok->setText(QStringLiteral("确定"));
        ok->setDefault(true);
        row->addWidget(ok);
    }
    row->addSpacing(10);
    if (type & MB_VX_CANCEL) {
        auto* cancel = new CVXButtonUI(box);
        cancel->ApplyAttributeList(QString::fromLatin1(kCancelAttrs));
        cancel->setText(QStringLiteral("取消"));
        row->addWidget(cancel);
    }
    row->addSpacing(20);
}

int CVxMessageWnd::NotAgainBonus() const
{
    return (m_pShowNormal && m_pShowNormal->IsSelected()) ? IDVX_NOTAGAIN : 0;
}

void CVxMessageWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click"))
        return;
    if (msg.senderName == QLatin1String("okbtn"))
        done(IDVX_OK + NotAgainBonus());
    else if (msg.senderName == QLatin1String("cancelbtn"))
        done(IDVX_CANCEL + NotAgainBonus());
    else if (msg.senderName == QLatin1String("closebtn"))
        done(IDVX_CLOSE);
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
