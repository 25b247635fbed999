#include "ui/settings/SetDataWnd.h"

#include "account/AccountMessages.h"
#include "app/LogFile.h"
#include "platform/Paths.h"
#include "ui/DesktopShell.h"
#include "ui/VXOptionEx.h"
#include "ui/VxMessageWnd.h"
#include "ui_SetDataWnd.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>

namespace vx {

CSetDataWnd::CSetDataWnd(QWidget* owner, MsgTarget mainTarget, CAppConfig& config, CLocalDb& db,
                         CMessageLoop& loop)
    : CVxDialog(owner, Qt::Window), m_form(std::make_unique<Ui::SetDataWnd>()), m_mainTarget(mainTarget),
      m_config(config), m_db(db), m_loop(loop), m_editor(config.m_setData, config.m_nCpuCount),
      m_controls(this)
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetCaptionHeight(10000); // any free spot drags the window

    m_form->spaceopt->SetText(QString::fromStdString(config.GetText(2060)) + QStringLiteral("设置"));
    m_form->helpbtn->setToolTip(QString::fromStdString(config.GetText(2207)));
    m_form->helpbtn->setAccessibleName(m_form->helpbtn->toolTip());
    m_form->CodecOption->setVisible(config.m_nCodecOption == 1);
    m_controls.GuardSuffixTyping(this);

    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    const std::pair<CVXOptionEx*, int> tabs[] = {
        {m_form->normalopt, 0}, {m_form->fileopt, 1}, {m_form->spaceopt, 2}};
    for (const auto& [tab, page] : tabs)
        connect(tab, &CVXOptionEx::selectChanged, this, [this, page = page](bool on) {
            if (on && !m_bShowing)
                ShowPage(page);
        });
    m_controls.ConnectShared(this, [this](CSetDataControls::Shared which, int index, bool on) {
        OnSharedSelect(which, index, on);
    });
    connect(m_form->okbtn, &QPushButton::clicked, this, &CSetDataWnd::Save);
    connect(m_form->canclebtn, &QPushButton::clicked, this, &CVxDialog::CloseWithoutAnswer);
    connect(m_form->closebtn, &QPushButton::clicked, this, &CVxDialog::CloseWithoutAnswer);
    connect(m_form->chagnePath, &QPushButton::clicked, this, &CSetDataWnd::Browse);
    connect(m_form->openfilepath, &QPushButton::clicked, this, &CSetDataWnd::OpenFolder);

    m_form->normalopt->SetCheck(true); // loads the general page
    m_form->normalopt->setFocus();
    CenterOverOwner();
}

CSetDataWnd::~CSetDataWnd() = default;

int CSetDataWnd::CurrentPage() const
{
    return m_form->switchSetLayout->currentIndex();
}

void CSetDataWnd::ShowPage(int index)
{
    static const int kPages[] = {kPageGeneral, kPageFiles, kPageUpload};
    m_form->switchSetLayout->setCurrentIndex(index);
    m_bShowing = true;
    if (m_editor.ShowPage(kPages[index], m_values)) {
        if (index == 0)
            m_controls.ShowGeneral(m_values);
        else if (index == 1)
            m_controls.ShowConversion(m_values, true);
        else
            m_controls.ShowUpload(m_values);
    }
    m_controls.ApplyFocus(m_values);
    m_bShowing = false;
}

void CSetDataWnd::OnSharedSelect(CSetDataControls::Shared which, int sizeIndex, bool on)
{
    if (m_bShowing)
        return;
    m_bShowing = true;
    int choice = m_editor.UnknownChoice();
    if (m_controls.OnSharedSelect(which, sizeIndex, on, m_values, true, &choice))
        m_editor.RememberUnknownChoice(choice);
    m_controls.ApplyFocus(m_values);
    m_bShowing = false;
}

void CSetDataWnd::Browse()
{
    const QString title = QString::fromStdString(m_config.GetText(2206));
    const QString start = m_form->savepath->text();
    const QString folder =
        m_picker ? m_picker(this, title, start)
                 : QFileDialog::getExistingDirectory(this, title, start, QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        m_form->savepath->setText(folder);
}

void CSetDataWnd::OpenFolder()
{
    const QString path = m_form->savepath->text().trimmed();
    if (path.isEmpty())
        return;
    const std::string folder = path.toStdString();
    if (!DirExists(folder) && !MakeDirs(folder)) {
        Log(g_log, "Error : the conversion folder %s cannot be created", folder.c_str());
        return;
    }
    Desktop().OpenFolder(path);
}

void CSetDataWnd::ShowRefusal(const SetDataCommit& r)
{
    const QString text = QString::fromStdString(r.strMessage);
    if (r.bSystemBox)
        QMessageBox::warning(this, QStringLiteral("Vexora"), text);
    else if (r.textId != 0)
        ShowMessageBox(this, QString(), text, MB_VX_OK, true);
    else // the database refused: stays until the user has read it
        ShowMessageBox(this, QString(), text, MB_VX_OK | MB_VX_ERROR, false);
}

void CSetDataWnd::Save()
{
    const int loaded = m_editor.LoadedPages();
    if (loaded & kPageGeneral)
        m_controls.ReadGeneral(m_values);
    if (loaded & kPageFiles)
        m_controls.ReadConversion(m_values, true);
    if (loaded & kPageUpload)
        m_controls.ReadUpload(m_values);
    const SetDataCommit r = m_editor.Commit(m_values, m_db, m_config);
    if (!r.bSaved) {
        ShowRefusal(r);
        return;
    }
    m_loop.PostMsg(m_mainTarget, WM_SET_INFO_DATA, static_cast<uint64_t>(r.changed));
    done(QDialog::Accepted);
}

bool CSetDataWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (CSetDataControls::FilterKeys(e, [this] { done(kResultClose); }))
        return true;
    if (e->type() == QEvent::Wheel && CurrentPage() == 1) {
        // The wheel scrolls the page, not the combo under the pointer.
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w != m_form->autodelete && m_form->filePage->isAncestorOf(w)) {
            if (!m_form->autodelete->hasFocus())
                m_form->autodelete->setFocus(Qt::MouseFocusReason);
            if (qobject_cast<QComboBox*>(w))
                return true;
        }
    }
    return CVxDialog::eventFilter(watched, e);
}

void CSetDataWnd::closeEvent(QCloseEvent* e)
{
    // The system close discards the changes like Cancel; it does not end the program.
    done(kResultClose);
    e->accept();
}

} // namespace vx
