// What the main window does on its own account rather than on a click: the start-up settings
// of a new user, the end of the desktop session, the way back from a close without a tray, the
// failures of an addition, the desktop notification at the end of a batch, and the resize
// border of the frameless window.

#include "app/LogFile.h"
#include "store/CourseStatus.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/main/MainWnd.h"
#include "ui/settings/StartSetWnd.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

namespace vx {

namespace {

bool IsFailedStatus(int32_t status)
{
    return status == CS_MEDIA_FAILED || status == CS_CONVERT_FAILED || status == CS_MD5_FAILED ||
           status == CS_UPLOAD_FAILED;
}

} // namespace

void CMainWnd::AskStartSettings(std::function<void()> done)
{
    if (auto* open = qobject_cast<CStartSetWnd*>(m_pStartSet.data()))
        open->Dismiss();
    auto* w = new CStartSetWnd(this, m_config, m_db);
    w->setAttribute(Qt::WA_DeleteOnClose);
    connect(w, &QDialog::finished, this, [done = std::move(done)](int) { done(); });
    m_pStartSet = w;
    ShowNormal();
    w->open();
    w->raise();
    w->activateWindow();
    Log(g_log, "Info : the start-up settings window is shown");
}

void CMainWnd::EndOfSession(const std::string& why)
{
    if (m_bQuitting)
        return;
    Log(g_log, "Info : %s: the program closes", why.c_str());
    Quit();
}

bool CMainWnd::HasTray() const
{
    return m_pTray && m_trayAvailable();
}

void CMainWnd::HideOrMinimize()
{
    if (HasTray()) {
        hide();
        return;
    }
    // A hidden window could only come back through a tray icon: without one the task bar keeps
    // the way back.
    Log(g_log, "Info : no system tray: the window is minimised instead of hidden");
    showMinimized();
}

// --- what an addition could not do --------------------------------------------------------

void CMainWnd::ReportIntakeFailures()
{
    const std::vector<IntakeFailure> failures = m_pIntake->TakeFailures();
    if (failures.empty())
        return;
    QStringList lines;
    for (const IntakeFailure& f : failures) {
        const QString path = QString::fromStdString(f.strPath);
        const QString cause = QString::fromStdString(f.strCause);
        if (f.bNotStored)
            lines << QStringLiteral("%1 个文件没有添加：本地数据库 %2 无法保存它们（%3）。")
                         .arg(f.nFiles)
                         .arg(path, cause);
        else
            lines << QStringLiteral("文件夹“%1”无法读取（%2），其中的文件没有添加。").arg(path, cause);
    }
    constexpr int kShown = 8;
    if (lines.size() > kShown) {
        const qsizetype more = lines.size() - kShown;
        lines = lines.mid(0, kShown);
        lines << QStringLiteral("另有 %1 项未能添加，详见日志。").arg(more);
    }
    MessageBox(lines.join(QLatin1Char('\n')).toStdString(), MB_WARNING);
}

// --- the end of a batch ---------------------------------------------------------------------

void CMainWnd::CheckBatch()
{
    const bool working = m_pPipeline->IsSessionRunning() && m_pPipeline->HasWorkInFlight();
    if (working) {
        m_batch.nIdleChecks = 0;
        if (!m_batch.bActive) {
            m_batch.bActive = true;
            m_batch.uploadedBefore = 0;
            m_batch.failedBefore.clear();
            CConverDoneListModel* done = m_pConverDoneList->List();
            for (const std::string& idx : done->Indexes())
                if (const _sLCItemData* r = done->Find(idx); r && r->nStatus == CS_UPLOADED)
                    ++m_batch.uploadedBefore;
            CLCListModel* course = m_pCourseProcessList->List();
            for (const std::string& idx : course->Indexes())
                if (const _sLCItemData* r = course->Find(idx); r && IsFailedStatus(r->nStatus))
                    m_batch.failedBefore.insert(idx);
        }
        m_pBatchCheck->start(kBatchCheckMs);
        return;
    }
    // Idle for a few looks in a row: the hand-over to the uploads after the speed test leaves
    // a moment with nothing in flight that is no end.
    if (!m_batch.bActive || ++m_batch.nIdleChecks < kBatchIdleChecks) {
        if (m_batch.bActive)
            m_pBatchCheck->start(kBatchCheckMs);
        return;
    }
    m_batch.bActive = false;
    AnnounceBatchEnd();
}

void CMainWnd::AnnounceBatchEnd()
{
    size_t uploaded = 0;
    CConverDoneListModel* done = m_pConverDoneList->List();
    for (const std::string& idx : done->Indexes())
        if (const _sLCItemData* r = done->Find(idx); r && r->nStatus == CS_UPLOADED)
            ++uploaded;
    uploaded = uploaded > m_batch.uploadedBefore ? uploaded - m_batch.uploadedBefore : 0;
    const _sLCItemData* firstFailure = nullptr;
    size_t failed = 0;
    CLCListModel* course = m_pCourseProcessList->List();
    for (const std::string& idx : course->Indexes()) {
        const _sLCItemData* r = course->Find(idx);
        if (!r || !IsFailedStatus(r->nStatus) || m_batch.failedBefore.count(idx))
            continue;
        if (!firstFailure)
            firstFailure = r;
        ++failed;
    }
    if (uploaded == 0 && failed == 0)
        return; // paused or deleted by the user: nothing to announce
    QString text;
    if (uploaded > 0)
        text = QStringLiteral("%1 个文件已上传。").arg(uploaded);
    if (firstFailure) {
        text += QStringLiteral("“%1”%2").arg(QString::fromStdString(firstFailure->strFileName),
                                             Text(StatusTextNo(firstFailure->nStatus)));
        text +=
            failed > 1 ? QStringLiteral("，另有 %1 个文件未完成。").arg(failed - 1) : QStringLiteral("。");
    }
    Log(g_log, "Info : a batch ended: %zu uploaded, %zu failed", uploaded, failed);
    if (isVisible() && !isMinimized())
        return; // the user sees the lists
    if (m_notifyHook)
        m_notifyHook(QStringLiteral("Vexora"), text);
    else if (HasTray())
        m_pTray->showMessage(QStringLiteral("Vexora"), text,
                             firstFailure ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 10000);
}

// --- the frameless window's border ------------------------------------------------------------

Qt::Edges CMainWnd::ResizeEdgesAt(const QPoint& pos) const
{
    Qt::Edges edges;
    if (isMaximized() || isFullScreen())
        return edges;
    if (pos.x() < kResizeBorder)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kResizeBorder)
        edges |= Qt::RightEdge;
    if (pos.y() < kResizeBorder)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kResizeBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void CMainWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(QColor(0x9D, 0xB6, 0xCF));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CMainWnd::leaveEvent(QEvent* e)
{
    if (!m_resizeEdges)
        unsetCursor();
    QWidget::leaveEvent(e);
}

bool CMainWnd::StartResize(QMouseEvent* e)
{
    const Qt::Edges edges = ResizeEdgesAt(e->position().toPoint());
    if (!edges)
        return false;
    // The window manager resizes where it can; elsewhere (no window manager, the offscreen
    // platform) the window follows the pointer itself.
    if (windowHandle() && QGuiApplication::platformName() != QLatin1String("offscreen") &&
        windowHandle()->startSystemResize(edges))
        return true;
    m_resizeEdges = edges;
    m_resizeStart = e->globalPosition().toPoint();
    m_resizeGeometry = geometry();
    return true;
}

bool CMainWnd::FollowResize(QMouseEvent* e)
{
    if (!m_resizeEdges) {
        // Hovering: the pointer shows which way the border resizes.
        const Qt::Edges edges = ResizeEdgesAt(e->position().toPoint());
        if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) ||
            (edges & Qt::RightEdge && edges & Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if ((edges & Qt::RightEdge && edges & Qt::TopEdge) ||
                 (edges & Qt::LeftEdge && edges & Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        return false;
    }
    const QPoint d = e->globalPosition().toPoint() - m_resizeStart;
    QRect g = m_resizeGeometry;
    const QSize least = minimumSize().expandedTo(minimumSizeHint());
    if (m_resizeEdges & Qt::LeftEdge)
        g.setLeft(std::min(g.left() + d.x(), g.right() - least.width() + 1));
    if (m_resizeEdges & Qt::RightEdge)
        g.setRight(std::max(g.right() + d.x(), g.left() + least.width() - 1));
    if (m_resizeEdges & Qt::TopEdge)
        g.setTop(std::min(g.top() + d.y(), g.bottom() - least.height() + 1));
    if (m_resizeEdges & Qt::BottomEdge)
        g.setBottom(std::max(g.bottom() + d.y(), g.top() + least.height() - 1));
    setGeometry(g);
    return true;
}

} // namespace vx
