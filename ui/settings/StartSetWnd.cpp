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
    SetCaptionHeight(10000); // any free spot drags the window
    m_form->helpbtn->setToolTip(QString::fromStdString(config.GetText(2207)));
    m_form->helpbtn->setAccessibleName(m_form->helpbtn->toolTip());
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

    m_controls.ConnectShared(this, [this](CSetDataControls::Shared which, int index, bool on) {
        OnSharedSelect(which, index, on);
    });
    connect(m_form->okbtn, &QPushButton::clicked, this, &CStartSetWnd::OnOk);
    connect(m_form->canclebtn, &QPushButton::clicked, this, &CStartSetWnd::TryClose);
    connect(m_form->closebtn, &QPushButton::clicked, this, &CStartSetWnd::TryClose);
    m_form->converNum->setFocus();
    CenterOverOwner();
}

CStartSetWnd::~CStartSetWnd() = default;

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

void CStartSetWnd::OnSharedSelect(CSetDataControls::Shared which, int sizeIndex, bool on)
{
    if (m_bShowing)
        return;
    m_bShowing = true;
    int choice = m_editor.UnknownChoice();
    if (m_controls.OnSharedSelect(which, sizeIndex, on, m_values, false, &choice))
        m_editor.RememberUnknownChoice(choice);
    m_controls.ApplyFocus(m_values);
    m_bShowing = false;
}

void CStartSetWnd::OnOk()
{
    m_controls.ReadConversion(m_values, false);
    m_controls.ReadUpload(m_values);
    m_values.showaway = m_form->showaway->IsSelected();
    Apply(m_editor.Ok(m_values, m_db, m_config));
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
