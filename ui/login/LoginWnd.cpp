#include "ui/login/LoginWnd.h"

#include "app/LogFile.h"
#include "ui/DesktopShell.h"
#include "ui/HintEditUI.h"
#include "ui/VXsiComboUI.h"
#include "ui_LoginWnd.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vx {

CLoginWnd::CLoginWnd(QWidget* owner, MsgTarget mainTarget, CAppConfig& config, CAccountStore* store,
                     bool autoLoginAllowed, CMessageLoop& loop)
    : CVxDialog(owner, Qt::Window | Qt::FramelessWindowHint), m_form(std::make_unique<Ui::LoginWnd>()),
      m_config(config), m_pController(std::make_unique<CLoginController>(config, store, loop)),
      m_bAutoLoginAllowed(autoLoginAllowed)
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    SetCaptionHeight(10000); // any free spot drags the window
    m_form->usernameEdit->SetExpandControl(m_form->AccountCombo);
    m_form->AccountCombo->view()->setAccessibleName(m_form->AccountCombo->accessibleName());
    // The combo spans the row under the edit, so its list is as wide as the field; the arrow
    // over its free end lets clicks through to it.
    m_form->comboArrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_form->usernameEdit->raise();
    m_form->comboArrow->raise();
    m_form->errorfloat->hide();

    // Keys are seen before the controls get them, like a message filter.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    BindControls();

    m_pController->SetMainTarget(mainTarget);
    m_pController->SetChangedCallback([this] { ScheduleSync(); });
    m_pController->SetSucceededCallback([this] {
        m_bSucceeded = true;
        Sync();
        accept();
    });
    CenterOverOwner();
}

CLoginWnd::~CLoginWnd() = default;

void CLoginWnd::BindControls()
{
    Ui::LoginWnd& f = *m_form;
    connect(f.usernameEdit, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_pController->UserNameEdited(t.toStdString()); });
    connect(f.passwordEdit, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_pController->PasswordEdited(t.toStdString()); });
    connect(f.AccountCombo, &CVXsiComboUI::ItemSelected, this, &CLoginWnd::OnAccountSelected);
    connect(f.AccountCombo, &CVXsiComboUI::ItemDeleteRequested, this, &CLoginWnd::OnAccountDeleted);
    connect(f.remPass, &QCheckBox::clicked, this, &CLoginWnd::OnRemPassClicked);
    connect(f.autoLog, &QCheckBox::clicked, this, &CLoginWnd::OnAutoLogClicked);
    connect(f.closebtn, &QPushButton::clicked, this, &CLoginWnd::CloseProgram);
    connect(f.loginbtn, &QPushButton::clicked, this, [this] { m_pController->Login(); });
    connect(f.regBtn, &QPushButton::clicked, this, [this] { OpenPage(RegisterUrl()); });
    for (QPushButton* recovery : {f.fidPassBtn, f.forgetpsw})
        connect(recovery, &QPushButton::clicked, this, [this] { OpenPage(RecoveryUrl()); });
    connect(f.okbtn, &QPushButton::clicked, this, [this] { m_pController->DismissPanel(); });
    // Enter logs in from every control; no button is the dialog's default.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
}

void CLoginWnd::OnAccountSelected(int index)
{
    // The list follows the controller in Sync; only the user's choices go back to it.
    if (!m_bSyncing)
        m_pController->SelectItem(index);
}

void CLoginWnd::OnAccountDeleted(int index)
{
    m_pController->DeleteItem(index);
}

void CLoginWnd::OnRemPassClicked(bool checked)
{
    // The controller decides what both boxes show (unchecking this one unchecks the other).
    m_pController->SetRemPass(checked);
    ScheduleSync();
}

void CLoginWnd::OnAutoLogClicked(bool checked)
{
    m_pController->SetAutoLog(checked);
    ScheduleSync();
}

QString CLoginWnd::RegisterUrl() const
{
    return QStringLiteral("http://%1:%2/registerRedirect.do?action=toRegister")
        .arg(QString::fromStdString(m_config.m_strWebHost))
        .arg(m_config.m_nWebPort);
}

QString CLoginWnd::RecoveryUrl() const
{
    return QStringLiteral("http://%1:%2/accountRedirect.do?action=getPwdBack")
        .arg(QString::fromStdString(m_config.m_strWebHost))
        .arg(m_config.m_nWebPort);
}

void CLoginWnd::showEvent(QShowEvent* e)
{
    CVxDialog::showEvent(e);
    PlaceErrorPanel();
    if (!m_bInitialised) {
        // The automatic login counts its 2 s from the moment the window appears.
        m_bInitialised = true;
        m_pController->Init(m_bAutoLoginAllowed);
        Sync();
        m_form->usernameEdit->setFocus(Qt::OtherFocusReason);
    }
}

void CLoginWnd::PlaceErrorPanel()
{
    // The panel floats over the two edits, which it replaces while it shows.
    QWidget* fields = m_form->fieldArea;
    const QPoint topLeft = fields->mapTo(this, QPoint(0, 0));
    m_form->errorfloat->setGeometry(QRect(topLeft, QSize(fields->width(), std::max(fields->height(), 86))));
    m_form->errorfloat->raise();
}

void CLoginWnd::ScheduleSync()
{
    // The window follows the controller once the control has finished its own change.
    if (m_bSyncQueued)
        return;
    m_bSyncQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { Sync(); }, Qt::QueuedConnection);
}

void CLoginWnd::SyncCombo()
{
    const LoginView& v = m_pController->View();
    CVXsiComboUI* combo = m_form->AccountCombo;
    bool same = combo->GetCount() == static_cast<int>(v.items.size());
    for (int i = 0; same && i < combo->GetCount(); ++i)
        same = combo->itemText(i) == QString::fromStdString(v.items[i]);
    if (!same) {
        combo->RemoveAll();
        for (const std::string& name : v.items)
            combo->AddItem(QString::fromStdString(name));
    }
    if (combo->GetCurSel() != v.selected)
        combo->SelectItem(v.selected);
}

void CLoginWnd::Sync()
{
    m_bSyncQueued = false;
    m_bSyncing = true;
    const LoginView& v = m_pController->View();
    SyncCombo();
    const QString user = QString::fromStdString(v.userName);
    if (m_form->usernameEdit->text() != user)
        m_form->usernameEdit->setText(user);
    const QString password = QString::fromStdString(v.password);
    if (m_form->passwordEdit->text() != password)
        m_form->passwordEdit->setText(password);
    m_form->remPass->setChecked(v.remPass);
    m_form->autoLog->setChecked(v.autoLog);

    m_form->accountBox->setVisible(v.fieldsVisible);
    m_form->passwordEdit->setVisible(v.fieldsVisible);
    if (v.panelVisible) {
        const bool network = v.panelKind != LoginErrorKind::Account;
        m_form->errorNet->setVisible(network);
        m_form->errorPsw->setVisible(!network);
        m_form->errorcode->setText(network ? QString::fromStdString(v.panelText) : QString());
        m_form->elabel5->setText(network ? QString() : QString::fromStdString(v.panelText));
        m_form->elabel5->setVisible(!network && !v.panelText.empty());
        PlaceErrorPanel();
    }
    const bool panelShown = m_form->errorfloat->isVisibleTo(this);
    m_form->errorfloat->setVisible(v.panelVisible);
    // The keyboard follows the panel: to its button while it shows, back to the fields after.
    if (v.panelVisible && !panelShown)
        m_form->okbtn->setFocus(Qt::OtherFocusReason);
    else if (!v.panelVisible && panelShown && v.fieldsVisible)
        (v.userName.empty() ? static_cast<QWidget*>(m_form->usernameEdit) : m_form->passwordEdit)
            ->setFocus(Qt::OtherFocusReason);

    m_form->loginbtn->setEnabled(!v.busy);
    m_form->loginbtn->setText(v.busy ? QStringLiteral("正在登录…") : QStringLiteral("登 录"));
    if (v.busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    m_bSyncing = false;
}

void CLoginWnd::OpenPage(const QString& url)
{
    if (!Desktop().OpenUrl(url))
        Log(g_log, "Error : Go to Web page failed! Error = %d\n Url = %s", 0, url.toUtf8().constData());
}

void CLoginWnd::CloseProgram()
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    m_pController->Close();
    done(kResultClose);
}

bool CLoginWnd::eventFilter(QObject* watched, QEvent* e)
{
    // The account list is a pop-up of its own: its keys (Enter chooses, Escape closes) stay there.
    if (e->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* ke = static_cast<QKeyEvent*>(e);
        const int key = ke->key();
        // Down, Alt+Down or F4 in the account field opens the remembered accounts.
        if (watched == m_form->usernameEdit && m_form->AccountCombo->GetCount() > 0 &&
            (key == Qt::Key_Down || key == Qt::Key_F4)) {
            m_form->AccountCombo->Activate();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_pController->Enter();
            return true;
        }
        if (key == Qt::Key_Escape)
            return true;
    }
    return CVxDialog::eventFilter(watched, e);
}

void CLoginWnd::reject()
{
    // Escape never closes the login window; only the close button and the system close do.
}

void CLoginWnd::closeEvent(QCloseEvent* e)
{
    // The system close: the program ends, unless the window closes after a granted login.
    if (!m_bSucceeded)
        CloseProgram();
    e->accept();
}

} // namespace vx
