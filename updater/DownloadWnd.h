#pragma once
// The updater's only window. The form (DownloadWnd.ui) holds the three pages — progress,
// failure, message; this class turns download status reports into pages and texts, and its
// buttons close the window, retry the download or open the download link.

#include "updater/HttpDownload.h"
#include "updater/UpdateArgs.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QApplication;
class QLabel;
class QStackedWidget;

namespace Ui {
class DownloadWnd;
}

namespace vx {

class CForeColorProgressUI;

// Gives the application the windows' one stylesheet (resources/style/vexora.qss), as the main
// program does. False when the resource is missing.
bool ApplyUpdateStyleSheet(QApplication& app);

class CDownloadWnd : public QWidget
{
    Q_OBJECT

public:
    enum Page
    {
        kPageProgress = 0,
        kPageFailed = 1,
        kPageMessage = 2
    };

    explicit CDownloadWnd(const UpdateArgs& args, QWidget* parent = nullptr);
    ~CDownloadWnd() override;

    // Starts the download (or shows why it cannot). Runs once after the form is built and
    // again on retry.
    void InitWindow();
    // A status report of the download: progress, done, or one failure.
    void OnDownloadStatus(int status, uint32_t value);
    int CurrentPage() const;
    int Percent() const { return m_nPercent; }
    bool HasDownload() const { return m_pDownload != nullptr; }
    const CHttpDownload* Download() const { return m_pDownload.get(); }

    // Tests shorten the download's waits and point its temp file elsewhere.
    void SetDownloadSettings(const CHttpDownload::Settings& s) { m_downloadSettings = s; }
    // How the download link is opened (default: the user's browser).
    void SetUrlOpener(std::function<bool(const QString&)> opener) { m_urlOpener = std::move(opener); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void OnRetry();
    void OnOpenLink();
    static void SetLabel(QLabel* label, const QString& text);
    void SelectPage(int page);
    void StopDownload();

    std::unique_ptr<Ui::DownloadWnd> m_form;
    UpdateArgs m_args;
    int m_nPercent = 0;
    int m_nStatus = -99;
    uint32_t m_uSysError = 0;
    bool m_bClosed = false;
    std::unique_ptr<CHttpDownload> m_pDownload;
    CHttpDownload::Settings m_downloadSettings;
    std::function<bool(const QString&)> m_urlOpener;
    QPoint m_dragOffset;
    bool m_bDragging = false;

    QPointer<QStackedWidget> m_pMainFrame;
    QPointer<QLabel> m_pTitleLabel;
    QPointer<QLabel> m_pPercentLabel;
    QPointer<QLabel> m_pPercentFailed;
    QPointer<QLabel> m_pErrorLabel;
    QPointer<QLabel> m_pCmdLabel;
    QPointer<CForeColorProgressUI> m_pProgress;
};

} // namespace vx
