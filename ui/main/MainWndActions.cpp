// The main window's behaviours around the pages: search boxes, close and hide, the caption,
// the tray, the space information window, the course detail window, adding files by dialog and
// by drop, sign-out, and what the pipeline asks of the user.

#include "app/LogFile.h"
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

int CMainWnd::SearchPageOf(const QString& name) const
{
    if (name.startsWith(QLatin1String("Proce")) || name.startsWith(QLatin1String("QuitProce")))
        return kSearchCourse;
    if (name.startsWith(QLatin1String("done")) || name.startsWith(QLatin1String("Quitdone")))
        return kSearchDone;
    return kSearchSpace;
}

CHintEditUI* CMainWnd::SearchEdit(int page) const
{
    return page == kSearchCourse ? m_form->ProceSearchEdit
           : page == kSearchDone ? m_form->doneSearchEdit
                                 : nullptr;
}

void CMainWnd::SetSearchFocusLook(CHintEditUI* edit, bool focused)
{
    QFrame* border = edit == m_form->ProceSearchEdit ? m_form->ProcesSearchBorder : m_form->doneSearchBorder;
    QPushButton* btn = edit == m_form->ProceSearchEdit ? m_form->ProcesearchBtn : m_form->doneSearchBtn;
    border->setStyleSheet(
        QStringLiteral("#%1 { border: 1px solid %2; border-radius: 3px; background: white; }")
            .arg(border->objectName(), focused ? QStringLiteral("#328CDF") : QStringLiteral("#DDDDDD")));
    btn->setIcon(
        QIcon(focused ? QStringLiteral(":/icons/search_focus.png") : QStringLiteral(":/icons/search.png")));
}

void CMainWnd::SearchUi(bool start, int page, bool clear)
{
    CHintEditUI* edit = SearchEdit(page);
    QPushButton* searchBtn = page == kSearchCourse ? m_form->ProcesearchBtn : m_form->doneSearchBtn;
    QPushButton* quitBtn = page == kSearchCourse ? m_form->QuitProcesearchBtn : m_form->QuitdoneSearchBtn;
    if (page == kSearchSpace) {
        if (!start)
            m_pSpace->EndSearch();
        return;
    }
    if (!edit)
        return;
    if (start) {
        if (edit->text().trimmed().isEmpty())
            return; // Enter in an empty box changes nothing
        quitBtn->show();
        searchBtn->hide();
        m_loop.PostMsg(m_target, WM_SEARCH, static_cast<uint64_t>(page));
        return;
    }
    if (page == kSearchCourse)
        m_pCourseProcessList->List()->SetSearching(false);
    else
        m_pConverDoneList->List()->SetSearching(false);
    if (clear) {
        QSignalBlocker block(edit);
        edit->clear();
    }
    quitBtn->hide();
    searchBtn->show();
    (page == kSearchCourse ? m_form->ProcesearchKey : m_form->DonesearchKey)->clear();
    m_form->searchErrTab->hide();
    if (m_nSearchPage == page)
        m_nSearchPage = kSearchNone;
}

void CMainWnd::OnSearchMessage(int page)
{
    m_nSearchPage = page;
    m_form->searchErrTab->hide();
    if (page == kSearchSpace)
        return; // the space page searches with its own box
    CHintEditUI* edit = SearchEdit(page);
    if (!edit)
        return;
    const QString key = edit->text().trimmed();
    if (key.isEmpty()) {
        SearchUi(false, page, true);
        return;
    }
    bool found;
    if (page == kSearchCourse) {
        m_pCourseProcessList->List()->SetSearching(true);
        found = m_pCourseProcessList->Search(key);
    } else {
        m_pConverDoneList->List()->SetSearching(true);
        found = m_pConverDoneList->Search(key);
    }
    ShowSearchBanner(key, found);
}

void CMainWnd::ShowSearchBanner(const QString& key, bool found)
{
    QStackedWidget* banner = m_form->searchErrTab;
    const int page = m_nSearchPage == kSearchDone ? 1 : 0;
    const int top = 145;
    banner->setGeometry(0, top, width(), std::max(0, height() - top));
    QLabel* label = page == 0 ? m_form->ProcesearchKey : m_form->DonesearchKey;
    if (found) {
        label->clear();
        banner->hide();
        return;
    }
    label->setText(QStringLiteral("“%1”").arg(key));
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    label->setFixedWidth(banner->width() < textWidth + 270 ? std::max(10, banner->width() - 300)
                                                           : textWidth + 8);
    banner->setCurrentIndex(page);
    banner->show();
    banner->raise();
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (auto* edit = qobject_cast<CHintEditUI*>(watched)) {
        if (e->type() == QEvent::FocusIn)
            SetSearchFocusLook(edit, true);
        else if (e->type() == QEvent::FocusOut)
            SetSearchFocusLook(edit, false);
    }
    return QWidget::eventFilter(watched, e);
}

// --- close, caption, tray ------------------------------------------------------------------

void CMainWnd::OnCloseButton()
{
    if (m_config.m_setData.nUinfo & kOptExitApp) {
        m_loop.PostMsg(m_target, WM_CLOSE);
        return;
    }
    hide();
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
    hide();
}

void CMainWnd::Quit()
{
    Log(g_log, "Info : the program ends");
    m_bQuitting = true;
    m_pPipeline->ReleaseTaskS();
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
    if (m_bDragging && !isMaximized())
        move(e->globalPosition().toPoint() - m_dragOffset);
    QWidget::mouseMoveEvent(e);
}

void CMainWnd::mouseReleaseEvent(QMouseEvent* e)
{
    m_bDragging = false;
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
        m_form->searchErrTab->setGeometry(0, 145, width(), std::max(0, height() - 145));
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
        [sameSession, begin = std::move(begin)](IntakeJob* job) { return sameSession() && begin(job); },
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
    CVxSpaceMsgWnd w(this, QStringLiteral("剩余空间：%1G").arg(spaceLeft), SpaceLinks::FromConfig(m_config));
    w.setWindowTitle(QString::fromStdString(title));
    w.CenterOverOwner();
    w.exec();
}

void CMainWnd::RevealFile(const std::string& path)
{
    Desktop().RevealFile(QString::fromStdString(path));
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
        const int converting = m_pPipeline->IsCourseWorking() ? 1 : 0;
        if (converting > 0 && m_pPipeline->ConvertMgr()) {
            const std::string question = m_config.GetText(2052) + "1" + m_config.GetText(2053);
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
    m_config.SetUserOptions(_sSetData());
    CloseChildWindows();
    RefreshTabCounts();
    hide();
    OpenLogin(false);
}

} // namespace vx
