#include "ui/settings/SetDataWnd.h"

#include "account/AccountMessages.h"
#include "app/LogFile.h"
#include "platform/Paths.h"
#include "ui/DesktopShell.h"
#include "ui/VXCheckBox.h"
#include "ui/VXOptionEx.h"
#include "ui/VxMessageWnd.h"
#include "ui_SetInfoData.h"

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
    : CVxDialog(owner, Qt::Window), m_form(std::make_unique<Ui::SetInfoData>()), m_mainTarget(mainTarget),
      m_config(config), m_db(db), m_loop(loop), m_editor(config.m_setData, config.m_nCpuCount),
      m_controls(this)
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    setAttribute(Qt::WA_DeleteOnClose, false);
    BindForm("SetInfoData", RequiredControls(), 10000);

    m_form->spaceopt->SetText(QString::fromStdString(config.GetText(2060)) + QStringLiteral("设置"));
    m_form->helpbtn->setToolTip(QString::fromStdString(config.GetText(2207)));
    m_form->CodecOption->setVisible(config.m_nCodecOption == 1);
    m_controls.GuardSuffixTyping(this);

    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    m_form->normalopt->SetCheck(true); // loads the general page
    CenterOverOwner();
}

CSetDataWnd::~CSetDataWnd() = default;

QStringList CSetDataWnd::RequiredControls()
{
    QStringList names;
    for (const char* n :
         {"normalopt",    "fileopt",   "spaceopt",   "switchSetLayout", "autopoweroff", "exitApp",
          "showmin",      "savepath",  "chagnePath", "openfilepath",    "autodelete",   "converNum",
          "prioroption",  "videosize", "uknowsize",  "unVideoSize1",    "unVideoSize2", "unVideoSize3",
          "unVideoSize4", "uknowW",    "uknowH",     "uknowWname",      "uknowHname",   "CodecOption",
          "uploadcomb",   "timestamp", "custom",     "Cumstomstamp",    "okbtn",        "canclebtn",
          "closebtn",     "helpbtn"})
        names << QString::fromLatin1(n);
    return names;
}

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

void CSetDataWnd::OnNotify(TNotifyUI& msg)
{
    if (m_bShowing)
        return;
    const QString& name = msg.senderName;
    if (msg.sType == QLatin1String("selectchanged")) {
        auto* box = qobject_cast<CVXCheckBox*>(msg.pSender.data());
        const bool on = box && box->IsSelected();
        m_bShowing = true;
        if (name == QLatin1String("normalopt") && on) {
            m_bShowing = false;
            ShowPage(0);
        } else if (name == QLatin1String("fileopt") && on) {
            m_bShowing = false;
            ShowPage(1);
        } else if (name == QLatin1String("spaceopt") && on) {
            m_bShowing = false;
            ShowPage(2);
        } else {
            int choice = m_editor.UnknownChoice();
            if (m_controls.OnSharedSelect(name, on, m_values, true, &choice))
                m_editor.RememberUnknownChoice(choice);
        }
        m_controls.ApplyFocus(m_values);
        m_bShowing = false;
    } else if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("closebtn") || name == QLatin1String("canclebtn"))
            done(kResultClose);
        else if (name == QLatin1String("okbtn"))
            Save();
        else if (name == QLatin1String("chagnePath"))
            Browse();
        else if (name == QLatin1String("openfilepath"))
            OpenFolder();
    }
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
