#include "updater/DownloadWnd.h"

#include "platform/Paths.h"
#include "ui_DownloadWnd.h"
#include "updater/DownloadStatus.h"
#include "updater/ForeColorProgressUI.h"
#include "updater/UpdateStartup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <cstdio>

static void InitStyleResource()
{
    Q_INIT_RESOURCE(style); // outside any namespace, as the macro requires
}

namespace vx {

bool ApplyUpdateStyleSheet(QApplication& app)
{
    InitStyleResource();
    QFile f(QStringLiteral(":/style/vexora.qss"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    app.setStyleSheet(QString::fromUtf8(f.readAll()));
    return true;
}

namespace {

constexpr int kCaptionHeight = 41; // the title bar drags the window

// Anything by that name, a file or not.
bool PathExists(const std::string& path)
{
    return !path.empty() && (FileExists(path) || DirExists(path));
}

} // namespace

CDownloadWnd::CDownloadWnd(const UpdateArgs& args, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_form(std::make_unique<Ui::DownloadWnd>()),
      m_args(args)
{
    m_form->setupUi(this);
    setWindowTitle(QString::fromStdString(m_args.productName.empty() ? "Vexora" : m_args.productName));

    m_pMainFrame = m_form->mainframe;
    m_pTitleLabel = m_form->TitleLabel;
    m_pPercentLabel = m_form->percentLabel;
    m_pPercentFailed = m_form->percentLabel_failed;
    m_pErrorLabel = m_form->errorLabel;
    m_pCmdLabel = m_form->CmdLabel;
    m_pProgress = m_form->updatePctPro;

    for (QPushButton* b : {m_form->closebtn, m_form->cancelbtn, m_form->cancelbtn_failed, m_form->okbtn})
        connect(b, &QPushButton::clicked, this, &QWidget::close);
    connect(m_form->retryBtn, &QPushButton::clicked, this, &CDownloadWnd::OnRetry);
    connect(m_form->downloadLinkBtn, &QPushButton::clicked, this, &CDownloadWnd::OnOpenLink);
    m_urlOpener = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
    SelectPage(kPageProgress);
}

CDownloadWnd::~CDownloadWnd()
{
    StopDownload();
}

void CDownloadWnd::SetLabel(QLabel* label, const QString& text)
{
    if (label)
        label->setText(text);
}

int CDownloadWnd::CurrentPage() const
{
    return m_pMainFrame ? m_pMainFrame->currentIndex() : -1;
}

void CDownloadWnd::SelectPage(int page)
{
    if (m_pMainFrame)
        m_pMainFrame->setCurrentIndex(page);
}

void CDownloadWnd::InitWindow()
{
    if (m_args.url.empty()) {
        SelectPage(kPageMessage);
        SetLabel(m_pCmdLabel, QStringLiteral("启动参数为空，无法启动更新"));
        return;
    }
    if (!IsWebAddress(m_args.url)) {
        SelectPage(kPageMessage);
        SetLabel(m_pCmdLabel, QStringLiteral("下载地址错误"));
        return;
    }
    if (!m_pDownload) {
        // The download thread only posts; the report is handled here on the window's thread.
        QPointer<CDownloadWnd> self(this);
        auto sink = [self](int status, uint32_t value) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, status, value] {
                    if (self)
                        self->OnDownloadStatus(status, value);
                },
                Qt::QueuedConnection);
        };
        m_pDownload = std::make_unique<CHttpDownload>(sink, m_downloadSettings);
        m_pDownload->Begin(m_args.url);
    }
    SetLabel(m_pTitleLabel, QString::fromStdString(m_args.productName) + QStringLiteral("正在更新"));
}

void CDownloadWnd::OnDownloadStatus(int status, uint32_t value)
{
    if (m_bClosed)
        return;
    if (status == DS_NONE) {
        m_nPercent = static_cast<int>(value);
        if (m_pProgress)
            m_pProgress->SetValue(m_nPercent);
        SetLabel(m_pPercentLabel, QString::asprintf("%d%%", m_nPercent));
        if (m_nPercent < 100) {
            update();
            return;
        }
        if (!m_args.mainProgramPath.empty()) {
            if (!PathExists(m_args.mainProgramPath)) {
                SelectPage(kPageMessage);
                SetLabel(m_pCmdLabel, QStringLiteral("安装失败，路径不存在"));
                return;
            }
            // Started again with the arguments it had; whether it starts is not ours to judge.
            StartDetached(m_args.mainProgramPath, m_args.mainProgramArgs);
            close();
            update();
            return;
        }
        SelectPage(kPageMessage);
        SetLabel(m_pCmdLabel, QString::fromStdString(m_args.productName) + QStringLiteral("已经更新成功"));
        return;
    }

    m_nStatus = status;
    m_uSysError = value;
    if (m_nPercent == 0 && status == DS_CONNECT) {
        SelectPage(kPageMessage);
        SetLabel(m_pCmdLabel, QStringLiteral("下载地址错误"));
    } else {
        const QString error = QString::fromUtf8(DownloadStatusText(status)) +
                              QString::asprintf(",错误码(%d)", static_cast<int>(m_uSysError));
        SelectPage(kPageFailed);
        SetLabel(m_pPercentFailed, QString::asprintf("(已经完成%d%%)", m_nPercent));
        SetLabel(m_pErrorLabel, error);
        if (m_pErrorLabel)
            m_pErrorLabel->setToolTip(error);
    }
    if (m_pDownload)
        m_pDownload->DeleteTempFile();
}

void CDownloadWnd::OnOpenLink()
{
    if (IsWebAddress(m_args.url) && m_urlOpener)
        m_urlOpener(QString::fromStdString(m_args.url));
}

void CDownloadWnd::OnRetry()
{
    SelectPage(kPageProgress);
    if (m_pDownload) {
        m_pDownload->DeleteTempFile();
        StopDownload();
    }
    InitWindow();
}

void CDownloadWnd::StopDownload()
{
    if (m_pDownload) {
        m_pDownload->Stop();
        m_pDownload.reset();
    }
}

void CDownloadWnd::closeEvent(QCloseEvent* e)
{
    // The temp file stays: a cancelled download or a finished install leaves it in place.
    m_bClosed = true;
    StopDownload();
    e->accept();
}

void CDownloadWnd::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && e->position().y() < kCaptionHeight) {
        m_bDragging = true;
        m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(e);
}

void CDownloadWnd::mouseMoveEvent(QMouseEvent* e)
{
    if (m_bDragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragOffset);
    else
        m_bDragging = false;
    QWidget::mouseMoveEvent(e);
}

} // namespace vx
