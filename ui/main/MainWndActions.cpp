// The main window's behaviours around the pages: close and hide, the caption, the tray, the
// space information window, the course detail window, adding files by dialog and by drop,
// sign-out, and what the pipeline asks of the user. The search boxes are in MainWndSearch.cpp.

#include "app/LogFile.h"
#include "media/ConvertMgr.h"
#include "space/SpaceController.h"
#include "ui/CourseDetailWnd.h"
#include "ui/DesktopShell.h"
#include "ui/HintEditUI.h"
#include "ui/SpaceLinks.h"
#include "ui/VXMenuWnd.h"
#include "ui/VXOptionEx.h"
#include "ui/VxMessageWnd.h"
#include "ui/VxSpaceInfoWnd.h"
#include "ui/VxSpaceMsgWnd.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/main/MainRequests.h"
#include "ui/main/MainWnd.h"
#include "ui/settings/AutoShutDownWnd.h"
#include "ui/space/UserSpaceView.h"
#include "ui/space/VXDirListUI.h"
#include "ui_MainWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace vx {

// --- close, caption, tray ------------------------------------------------------------------

void CMainWnd::OnCloseButton()
{
    if (m_config.m_setData.nUinfo & kOptExitApp) {
        m_loop.PostMsg(m_target, WM_CLOSE);
        return;
    }
    HideOrMinimize();
    if (!(m_config.m_setData.nUinfo & kOptShowMin)) {
        _sSetData options = m_config.m_setData;
        options.nUinfo |= kOptShowMin;
        m_config.SetUserOptions(options);
        if (m_config.m_i64UserId > 0)
            m_db.UpDateSetData(options, m_config.m_i64UserId);
    }
}

void CMainWnd::closeEvent(QCloseEvent* e)
{
    // The window manager's close (Alt+F4, the task bar) only hides, like the close button.
    if (m_bQuitting) {
        e->accept();
        return;
    }
    e->ignore();
    HideOrMinimize();
}

void CMainWnd::Quit()
{
    Log(g_log, "Info : the program ends");
    m_bQuitting = true;
    const bool session = HasSession();
    m_pPipeline->ReleaseTaskS();
    // The workers are stopped: the records go back to the database as they stand, so the next
    // start continues from there.
    if (session && !m_pCourseProcessList->StoreUnfinished())
        Log(g_log, "Error : the course files could not be written back to %s", m_db.Path().c_str());
    CloseChildWindows();
    if (m_pLogin)
        m_pLogin->hide();
    if (m_pTray)
        m_pTray->hide();
    hide();
    if (m_quit)
        m_quit();
    else
        QApplication::quit();
}

bool CMainWnd::IsCaptionPoint(const QPoint& pos) const
{
    QWidget* caption = m_form->CaptionBar;
    if (isMaximized() && false)
        return false;
    if (!caption->geometry().contains(pos))
        return false;
    QWidget* hit = childAt(pos);
    for (QWidget* w = hit; w && w != this; w = w->parentWidget()) {
        if (w == m_form->username || w == m_form->orgname || w == m_form->SetComBox ||
            w == m_form->searchtext || qobject_cast<QAbstractButton*>(w) || qobject_cast<CVXOptionEx*>(w))
            return false;
    }
    return true;
}

void CMainWnd::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && StartResize(e))
        return;
    if (e->button() == Qt::LeftButton && IsCaptionPoint(e->position().toPoint())) {
        m_bDragging = true;
        m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
        if (windowHandle() && QGuiApplication::platformName() != QLatin1String("offscreen") &&
            windowHandle()->startSystemMove())
            m_bDragging = false;
        return;
    }
    QWidget::mousePressEvent(e);
}

void CMainWnd::mouseMoveEvent(QMouseEvent* e)
{
    if (FollowResize(e))
        return;
    if (m_bDragging && !isMaximized())
        move(e->globalPosition().toPoint() - m_dragOffset);
    QWidget::mouseMoveEvent(e);
}

void CMainWnd::mouseReleaseEvent(QMouseEvent* e)
{
    m_bDragging = false;
    m_resizeEdges = {};
    QWidget::mouseReleaseEvent(e);
}

void CMainWnd::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && IsCaptionPoint(e->position().toPoint()))
        isMaximized() ? showNormal() : showMaximized();
}

void CMainWnd::UpdateMaxButtons()
{
    m_form->maxbtn->setVisible(!isMaximized());
    m_form->restorebtn->setVisible(isMaximized());
}

void CMainWnd::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange)
        UpdateMaxButtons();
    QWidget::changeEvent(e);
}

void CMainWnd::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_form->searchErrTab->isVisible())
        m_form->searchErrTab->setGeometry(SearchBannerRect());
    ShowSpaceInfoWindow();
}

void CMainWnd::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    ShowSpaceInfoWindow();
}

void CMainWnd::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    ShowSpaceInfoWindow();
}

void CMainWnd::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (m_pSpaceInfo)
        m_pSpaceInfo->hide();
}

void CMainWnd::ShowSpaceInfoWindow()
{
    if (!m_pSpaceInfo)
        return;
    const bool show = isVisible() && !isMinimized() && m_form->switchoverTab->currentIndex() == 2;
    if (!show) {
        m_pSpaceInfo->hide();
        return;
    }
    const QRect g = frameGeometry();
    m_pSpaceInfo->setGeometry(g.left() + 1, g.bottom() - 101, 198, 100);
    m_pSpaceInfo->show();
}

void CMainWnd::ShowNormal()
{
    if (isMinimized() || !isVisible())
        showNormal();
    ShowSpaceInfoWindow();
}

void CMainWnd::OnTrayNotify(int event)
{
    if (m_config.m_i64UserId <= 0)
        return; // signed out: the tray does nothing
    if (event == 0x0203) {
        if (!isVisible() && !m_config.m_strCookie.empty()) {
            ShowNormal();
            raise();
            activateWindow();
        }
    } else if (event == 0x0205) {
        if (m_pMenu)
            m_pMenu->close();
        m_pMenu = new CVXMenuWnd(16 | 32, m_form->CaptionBar, 90, &m_config.Language());
        m_pMenu->setObjectName(QStringLiteral("VXDirListItemMenu"));
        connect(m_pMenu, &CVXMenuWnd::EntryChosen, m_form->CaptionBar,
                [bar = m_form->CaptionBar](CVXMenuWnd::Entry entry) {
                    PostNotify(bar, CVXMenuWnd::EntryName(entry));
                });
        m_pMenu->ShowAt(QCursor::pos() - QPoint(0, 50));
    }
}

// --- the course detail window ---------------------------------------------------------------

void CMainWnd::OnCourseDetail(const std::string& fileIndex)
{
    const _sLCItemData* r = m_pCourseProcessList->List()->Find(fileIndex);
    if (!r)
        return;
    const SpaceTreeItem* folder = m_pSpace->Tree().Find(r->i64DirId);
    if (!folder)
        return;
    const bool converted =
        !r->strConvertPath.empty() && QFileInfo::exists(QString::fromStdString(r->strConvertPath));
    std::string outFolder = m_config.m_setData.strConvertPath;
    while (!outFolder.empty() && outFolder.back() == '/')
        outFolder.pop_back();
    const QString detail =
        QString::fromStdString(converted ? r->strConvertPath : outFolder + "/" + r->strFileIndex);
    QString remote = QString::fromStdString(m_pSpace->Tree().TreePath(r->i64DirId));
    if (converted)
        remote += QLatin1Char('/') + QFileInfo(detail).fileName();
    const QString source = QString::fromStdString(r->strFilePath);
    if (auto* w = qobject_cast<CCourseDetailWnd*>(m_pDetail.data())) {
        w->SetPaths(source, detail, remote);
        w->show();
        w->raise();
        return;
    }
    auto* w = new CCourseDetailWnd(this, source, detail, remote);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->CenterOverOwner();
    w->show();
    m_pDetail = w;
}

// --- adding files -------------------------------------------------------------------------

QStringList CMainWnd::FileFilters()
{
    // Linux file names keep their case: list both cases of every extension.
    QStringList exts = {"mpg", "wmv", "mov", "avi",  "rmvb", "rm",  "mp3", "mp4",
                        "3gp", "m4v", "mts", "mpeg", "pdf",  "swf", "flv"};
    QStringList patterns;
    for (const QString& e : exts)
        patterns << QStringLiteral("*.") + e.toUpper() << QStringLiteral("*.") + e;
    return {QStringLiteral("常见音视频/PDF/SWF课件 (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("All Files(*.*) (*)")};
}

void CMainWnd::ShowAddFileDialog()
{
    QStringList paths;
    if (m_picker) {
        paths = m_picker(this);
    } else {
        paths = QFileDialog::getOpenFileNames(this, QStringLiteral("添加课件"), QString(),
                                              FileFilters().join(QStringLiteral(";;")));
    }
    if (!paths.isEmpty())
        AddFiles(paths);
}

void CMainWnd::AddFiles(const QStringList& paths)
{
    std::vector<std::string> list;
    for (const QString& p : paths)
        list.push_back(p.toStdString());
    QueueAddition([this, list](IntakeJob* job) { return m_pIntake->BeginFiles(list, job); });
}

void CMainWnd::DropPaths(const QStringList& paths)
{
    std::vector<std::string> list;
    for (const QString& p : paths)
        list.push_back(p.toStdString());
    // The files go into the folder shown at the drop, even when the drop waits for an earlier
    // addition and the user meanwhile opens another folder.
    const int64_t dirId = m_pSpace->List().DirId();
    const SpaceTreeItem* folder = m_pSpace->Tree().Find(dirId);
    const int32_t level = folder ? folder->entry.nLevel + 1 : -1;
    QueueAddition(
        [this, list, dirId, level](IntakeJob* job) { return m_pIntake->BeginDrop(list, dirId, level, job); });
}

void CMainWnd::QueueAddition(std::function<bool(IntakeJob*)> begin)
{
    // An addition belongs to the session it was made in: signed out (or in as someone else)
    // before its turn or its answer, it is dropped.
    const int64_t user = m_config.m_i64UserId;
    // Before the session runs (its records still being restored) nothing is added: the stored
    // records would not all be listed for the duplicate check.
    auto sameSession = [this, user] {
        return HasSession() && m_config.m_i64UserId == user && m_pPipeline->IsSessionRunning();
    };
    m_pRequests->AddFiles(
        [this, sameSession, begin = std::move(begin)](IntakeJob* job) {
            if (!sameSession())
                return false;
            if (begin(job))
                return true;
            ReportIntakeFailures(); // refused as a whole: what the scan met is told now
            return false;
        },
        [this, sameSession](IntakeJob&& job) {
            if (!sameSession())
                return;
            if (m_pIntake->StartFinish(std::move(job)))
                ContinueAddition();
            else
                AdditionDone();
        });
}

void CMainWnd::ContinueAddition()
{
    // A step per turn of the loop: ten thousand records are stored and listed without holding
    // the window. A sign-out in between drops what is left (DropFinish), so a step then finds
    // nothing to do; so does one whose work a later addition completed first.
    QTimer::singleShot(0, this, [this] {
        if (!m_pIntake->IsFinishing()) {
            if (HasSession())
                AdditionDone();
            return;
        }
        if (m_pIntake->FinishStep())
            ContinueAddition();
        else
            AdditionDone();
    });
}

void CMainWnd::AdditionDone()
{
    ShowSpace(m_pPipeline->Quota());
    RefreshTabCounts();
    ReportIntakeFailures();
}

bool CMainWnd::IsAddingFiles() const
{
    return m_pRequests->IsBusy() || m_pIntake->IsFinishing();
}

void CMainWnd::RefreshSpaceInfo()
{
    const int64_t user = m_config.m_i64UserId;
    m_pRequests->RequestQuota([this, user](const SpaceQuota& q) {
        if (!HasSession() || m_config.m_i64UserId != user)
            return;
        m_pPipeline->SetQuota(q);
        ShowSpace(q);
    });
}

void CMainWnd::ShowSpace(const SpaceQuota& q)
{
    if (m_pSpaceInfo)
        m_pSpaceInfo->SetSpace(q.i64Used, q.i64Total);
}

void CMainWnd::dragEnterEvent(QDragEnterEvent* e)
{
    if (HasSession() && e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMainWnd::dropEvent(QDropEvent* e)
{
    // Local paths straight from the URLs: names with quotes, ';', '$', a leading '-', line
    // breaks or Chinese characters arrive as they are, and no shell ever sees them.
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty() || !HasSession())
        return;
    e->acceptProposedAction();
    DropPaths(paths);
}

// --- what the pipeline asks -----------------------------------------------------------------

int CMainWnd::MessageBox(const std::string& text, int type)
{
    const QString t = QString::fromStdString(text);
    if (m_boxHook)
        return m_boxHook(t, type);
    if (type == MB_QUESTION)
        return ShowMessageBox(isVisible() ? this : nullptr, QStringLiteral("Vexora"), t, type);
    ShowMessageBoxModeless(isVisible() ? this : nullptr, QStringLiteral("Vexora"), t, type);
    return 1;
}

void CMainWnd::SpaceWarning(int64_t spaceLeft, const std::string& title)
{
    if (m_boxHook) {
        m_boxHook(QString::fromStdString(title), MB_WARNING);
        return;
    }
    // The language's explanation with the links to buy or free space, then the figure.
    const QString text =
        QString::fromStdString(m_config.GetText(2088)) + QStringLiteral("\n\n剩余空间：%1G").arg(spaceLeft);
    CVxSpaceMsgWnd w(this, text, SpaceLinks::FromConfig(m_config));
    w.setWindowTitle(QString::fromStdString(title));
    w.CenterOverOwner();
    w.exec();
}

void CMainWnd::RevealFile(const std::string& path)
{
    Desktop().RevealFile(QString::fromStdString(path));
}

void CMainWnd::DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries)
{
    // The paths tell the user enough; the causes are in the log. A long list is cut short.
    constexpr size_t kShown = 8;
    std::string text = m_config.GetText(2091);
    for (size_t i = 0; i < entries.size() && i < kShown; ++i)
        text += "\n    " + entries[i].first;
    if (entries.size() > kShown)
        text += "\n    … (" + std::to_string(entries.size() - kShown) + ")";
    MessageBox(text, MB_INFO);
}

void CMainWnd::OfferShutdown()
{
    if (m_pShutdown)
        return;
    // Once the command ran, the window's own close ends the program (the pipeline has no close).
    auto* w = new CAutoShutDownWnd(this, m_target, m_config.m_strShutdownCommand, RunShutdownCommand, m_loop);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->CenterOverOwner();
    w->show();
    m_pShutdown = w;
}

void CMainWnd::SessionStarted()
{
    // A turn of its own: the sorts of ten thousand restored rows follow their insertion.
    m_loop.PostMsg(m_target, WM_USER_INFO);
}

void CMainWnd::SignedOut()
{
    SignOut(true);
}

void CMainWnd::SignOut(bool kicked)
{
    if (kicked) {
        Log(g_log, "Info : Account check out ,login out");
        m_pPipeline->ReleaseTaskS();
        MessageBox(m_config.GetText(15), MB_WARNING);
    } else {
        // Only conversions that really run are lost: a waiting or paused upload is not asked
        // about.
        const size_t converting = m_pPipeline->ConvertMgr() ? m_pPipeline->ConvertMgr()->BusyCount() : 0;
        if (converting > 0) {
            const std::string question =
                m_config.GetText(2052) + std::to_string(converting) + m_config.GetText(2053);
            if (MessageBox(question, MB_QUESTION) != 1)
                return;
        }
        m_pPipeline->ReleaseTaskS();
    }
    m_pIntake->DropFinish();
    m_pConverDoneList->List()->Clear();
    m_pCourseProcessList->RemoveAll();
    m_pPipeline->ReleaseQueue(); // after the write-back that RemoveAll queued
    m_pSpace->Reset();
    m_pRequests->DropWaiting();
    m_config.m_i64UserId = -1;
    m_config.SetCookie(std::string());
    for (int page : {kSearchCourse, kSearchDone})
        SearchUi(false, page, true);
    // The space search ended with the reset above; its box and banner go too.
    m_pSpaceView->ClearSearchText();
    OnSpaceSearchBanner(QString());
    m_batch = Batch();
    m_pBatchCheck->stop();
    m_config.SetUserOptions(_sSetData());
    CloseChildWindows();
    RefreshTabCounts();
    hide();
    OpenLogin(false);
}

} // namespace vx
