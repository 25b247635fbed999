#include "ui/settings/StartSetWnd.h"

#include "ui/VXCheckBox.h"
#include "ui/VxMessageWnd.h"
#include "ui_StartSetWnd.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

namespace vx {

CStartSetWnd::CStartSetWnd(QWidget* owner, CAppConfig& config, CLocalDb& db)
    : CVxDialog(owner), m_form(std::make_unique<Ui::StartSetWnd>()), m_config(config), m_db(db),
      m_editor(config.m_nCpuCount), m_controls(this)
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    setModal(true);
    BindForm("StartSetWnd", RequiredControls(), 10000);
    m_form->helpbtn->setToolTip(QString::fromStdString(config.GetText(2207)));
    m_form->CodecOption->setVisible(config.m_nCodecOption == 1);
    m_form->unknowErr->hide();
    m_form->Erruknowsize->hide();
    m_controls.GuardSuffixTyping(this);
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    m_bShowing = true;
    m_editor.Init(db, config, m_values);
    m_controls.ShowConversion(m_values, false);
    m_controls.ShowUpload(m_values);
    if (auto* c = m_form->showaway)
        c->SetCheck(m_values.showaway);
    m_values.focus.clear();
    m_bShowing = false;
    CenterOverOwner();
}

CStartSetWnd::~CStartSetWnd() = default;

QStringList CStartSetWnd::RequiredControls()
{
    QStringList names;
    for (const char* n : {"converNum",    "prioroption",  "videosize",    "uknowsize",  "unVideoSize1",
                          "unVideoSize2", "unVideoSize3", "unVideoSize4", "uknowW",     "uknowH",
                          "uknowWname",   "uknowHname",   "CodecOption",  "uploadcomb", "timestamp",
                          "custom",       "Cumstomstamp", "showaway",     "unknowErr",  "Erruknowsize",
                          "VStartlayoot", "okbtn",        "canclebtn",    "closebtn",   "helpbtn"})
        names << QString::fromLatin1(n);
    return names;
}

bool CStartSetWnd::SizeErrorShown() const
{
    return m_form->unknowErr->isVisible() && m_form->Erruknowsize->isVisible();
}

void CStartSetWnd::Dismiss()
{
    m_bDone = true;
    hide();
    deleteLater();
}

void CStartSetWnd::OnNotify(TNotifyUI& msg)
{
    if (m_bShowing)
        return;
    const QString& name = msg.senderName;
    if (msg.sType == QLatin1String("selectchanged")) {
        auto* box = qobject_cast<CVXCheckBox*>(msg.pSender.data());
        const bool on = box && box->IsSelected();
        m_bShowing = true;
        int choice = m_editor.UnknownChoice();
        if (m_controls.OnSharedSelect(name, on, m_values, false, &choice))
            m_editor.RememberUnknownChoice(choice);
        m_controls.ApplyFocus(m_values);
        m_bShowing = false;
    } else if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("okbtn")) {
            m_controls.ReadConversion(m_values, false);
            m_controls.ReadUpload(m_values);
            m_values.showaway = m_form->showaway->IsSelected();
            Apply(m_editor.Ok(m_values, m_db, m_config));
        } else if (name == QLatin1String("closebtn") || name == QLatin1String("canclebtn")) {
            TryClose();
        }
    }
}

void CStartSetWnd::TryClose()
{
    m_values.showaway = m_form->showaway->IsSelected();
    Apply(m_editor.TryClose(m_values, m_db, m_config));
}

void CStartSetWnd::Apply(const StartSetResult& r)
{
    if (!r.strMessage.empty()) {
        const bool refusal = r.textId != 0;
        ShowMessageBox(this, QString(), QString::fromStdString(r.strMessage),
                       refusal ? MB_VX_OK : (MB_VX_OK | MB_VX_ERROR), refusal);
        return;
    }
    if (r.bShowSizeError) {
        m_form->unknowErr->show();
        m_form->Erruknowsize->show();
        m_form->VStartlayoot->verticalScrollBar()->setValue(40);
        return;
    }
    if (r.bClose) {
        m_bDone = true;
        done(QDialog::Accepted);
    }
}

bool CStartSetWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (CSetDataControls::FilterKeys(e, [this] { TryClose(); }))
        return true;
    return CVxDialog::eventFilter(watched, e);
}

void CStartSetWnd::reject()
{
    TryClose();
}

void CStartSetWnd::closeEvent(QCloseEvent* e)
{
    // Leaving through the window's close runs the same check: the window stays until the size
    // of unknown videos is set.
    if (!m_bDone)
        TryClose();
    if (m_bDone)
        e->accept();
    else
        e->ignore();
}

} // namespace vx
