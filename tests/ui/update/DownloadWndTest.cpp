// The updater window under QTest: its three pages and their texts, retry, the download link,
// the restart of the main program, and the progress bar control. One screenshot per page is
// saved into the build folder's screenshots/ for review.

#include "updater/DownloadWnd.h"
#include "RangeServer.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "ui/common/UiTestUtil.h"
#include "updater/DownloadStatus.h"
#include "updater/ForeColorProgressUI.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <cstdlib>
#include <sys/stat.h>

using namespace vx;
using vx::test::CRangeServer;
using vx::test::CTempDir;

namespace {

std::string InstallerScript(size_t size = 300000)
{
    std::string s = "#!/bin/sh\nexit 0\n";
    while (s.size() < size)
        s += "# filler ..........................................................\n";
    return s;
}

} // namespace

class DownloadWndTest : public QObject
{
    Q_OBJECT

private:
    static QString Text(CDownloadWnd& w, const char* name) { return w.findChild<QLabel*>(name)->text(); }
    static void Click(CDownloadWnd& w, const char* name)
    {
        QTest::mouseClick(w.findChild<QAbstractButton*>(name), Qt::LeftButton);
    }
    static void Shot(CDownloadWnd& w, const char* name) { VX_SCREENSHOT(&w, QString::fromLatin1(name)); }
    // The colour drawn at (x, y) of the widget, in its own coordinates at any scale.
    static QString ColourAt(QWidget* widget, int x, int y)
    {
        const QImage look = widget->grab().toImage();
        const qreal dpr = look.devicePixelRatio();
        return look.pixelColor(int((x + 0.5) * dpr), int((y + 0.5) * dpr)).name();
    }
    static UpdateArgs Args(const std::string& url, const std::string& mainPath = "")
    {
        UpdateArgs a;
        a.url = url;
        a.productName = "Vexora";
        a.mainProgramPath = mainPath;
        return a;
    }
    DownloadSettings Settings()
    {
        DownloadSettings s;
        s.tempFolder = m_dir.Path();
        return s;
    }
    CTempDir m_dir;

private slots:
    void emptyStartParametersShowTheMessagePage()
    {
        CDownloadWnd w{UpdateArgs()};
        w.show();
        w.InitWindow();
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageMessage));
        QCOMPARE(Text(w, "CmdLabel"), QStringLiteral("启动参数为空，无法启动更新"));
        QCOMPARE(Text(w, "TitleLabel"), QStringLiteral("正在更新"));
        QVERIFY(!w.HasDownload());
        Shot(w, "update-page2-message");
        Click(w, "okbtn");
        QVERIFY(!w.isVisible());
    }

    void addressThatIsNotWebIsNeitherFetchedNorOpened()
    {
        CDownloadWnd w(Args("file:///etc/passwd"));
        QStringList opened;
        w.SetUrlOpener([&](const QString& u) {
            opened << u;
            return true;
        });
        w.show();
        w.InitWindow();
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageMessage));
        QCOMPARE(Text(w, "CmdLabel"), QStringLiteral("下载地址错误"));
        QVERIFY(!w.HasDownload());
        Click(w, "downloadLinkBtn");
        QVERIFY(opened.isEmpty());
    }

    void progressThenFailurePage()
    {
        CDownloadWnd w(Args("http://127.0.0.1:1/x/setup"));
        QStringList opened;
        w.SetUrlOpener([&](const QString& u) {
            opened << u;
            return true;
        });
        w.show();
        w.OnDownloadStatus(DS_NONE, 37);
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageProgress));
        QCOMPARE(Text(w, "percentLabel"), QStringLiteral("37%"));
        QCOMPARE(w.findChild<CForeColorProgressUI*>("updatePctPro")->GetValue(), 37);
        Shot(w, "update-page0-progress");

        w.OnDownloadStatus(DS_RECV_BODY, 104);
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageFailed));
        QCOMPARE(Text(w, "percentLabel_failed"), QStringLiteral("(已经完成37%)"));
        QLabel* error = w.findChild<QLabel*>("errorLabel");
        QCOMPARE(error->text(), QStringLiteral("下载失败,错误码(104)"));
        QCOMPARE(error->toolTip(), error->text());
        Shot(w, "update-page1-failed");

        Click(w, "downloadLinkBtn");
        QCOMPARE(opened, QStringList{"http://127.0.0.1:1/x/setup"});

        w.OnDownloadStatus(-5, 7);
        QCOMPARE(error->text(), QStringLiteral("无效错误码,错误码(7)"));
        Click(w, "cancelbtn_failed");
        QVERIFY(!w.isVisible());
    }

    void connectionFailureBeforeAndAfterProgress()
    {
        CDownloadWnd early(Args("http://127.0.0.1:1/x/setup"));
        early.show();
        early.OnDownloadStatus(DS_CONNECT, 111);
        QCOMPARE(early.CurrentPage(), int(CDownloadWnd::kPageMessage));
        QCOMPARE(Text(early, "CmdLabel"), QStringLiteral("下载地址错误"));

        CDownloadWnd late(Args("http://127.0.0.1:1/x/setup"));
        late.show();
        late.OnDownloadStatus(DS_NONE, 12);
        late.OnDownloadStatus(DS_CONNECT, 111);
        QCOMPARE(late.CurrentPage(), int(CDownloadWnd::kPageFailed));
        QCOMPARE(Text(late, "errorLabel"), QStringLiteral("建立网络连接失败,错误码(111)"));
    }

    void finishedUpdate()
    {
        // Without a main program: the success text and a full bar.
        CDownloadWnd w(Args("http://127.0.0.1:1/x/setup"));
        w.show();
        w.OnDownloadStatus(DS_NONE, kDownloadDone);
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageMessage));
        QCOMPARE(Text(w, "CmdLabel"), QStringLiteral("Vexora已经更新成功"));
        QCOMPARE(w.findChild<CForeColorProgressUI*>("updatePctPro")->GetValue(), 100);

        // A main program that vanished with the install.
        CDownloadWnd gone(Args("http://127.0.0.1:1/x/setup", m_dir.File("no-such-program")));
        gone.show();
        gone.OnDownloadStatus(DS_NONE, kDownloadDone);
        QCOMPARE(Text(gone, "CmdLabel"), QStringLiteral("安装失败，路径不存在"));
        QVERIFY(gone.isVisible());

        // The main program is started again with its former arguments and the window closes.
        const std::string program = m_dir.File("VexoraV2"), marker = m_dir.File("restarted");
        QVERIFY(test::WriteFile(program, "#!/bin/sh\nprintf '[%s]' \"$@\" > '" + marker + ".part' && mv '" +
                                             marker + ".part' '" + marker + "'\n"));
        chmod(program.c_str(), 0755);
        UpdateArgs a = Args("http://127.0.0.1:1/x/setup", program);
        a.mainProgramArgs = {"-a", "b;c d"};
        CDownloadWnd ok(a);
        ok.show();
        ok.OnDownloadStatus(DS_NONE, kDownloadDone);
        QVERIFY(!ok.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(FileExists(marker), 5000);
        QCOMPARE(QString::fromStdString(test::ReadFile(marker)), QStringLiteral("[-a][b;c d]"));
    }

    void retryStartsAgainFromByteZero()
    {
        CRangeServer server(InstallerScript());
        QVERIFY(server.Start());
        // The second part claims to start at 0 although byte 200000 was asked: refused.
        server.SetMode(CRangeServer::Mode::WrongStart, 1, 200000);
        CDownloadWnd w(Args(server.Url()));
        w.SetDownloadSettings(Settings());
        w.show();
        w.InitWindow();
        QCOMPARE(Text(w, "TitleLabel"), QStringLiteral("Vexora正在更新"));
        QTRY_COMPARE_WITH_TIMEOUT(w.CurrentPage(), int(CDownloadWnd::kPageFailed), 20000);
        QCOMPARE(Text(w, "errorLabel"), QStringLiteral("服务器返回的文件范围无效,错误码(0)"));
        const int percent = w.Percent();
        QVERIFY(percent > 0 && percent < 99);
        QCOMPARE(Text(w, "percentLabel_failed"), QStringLiteral("(已经完成%1%)").arg(percent));
        QVERIFY(!FileExists(m_dir.File("setup"))); // deleted after the failure

        server.SetMode(CRangeServer::Mode::Normal);
        Click(w, "retryBtn");
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageProgress));
        QCOMPARE(Text(w, "percentLabel"),
                 QStringLiteral("%1%").arg(percent)); // until the new download reports
        QTRY_COMPARE_WITH_TIMEOUT(w.CurrentPage(), int(CDownloadWnd::kPageMessage), 20000);
        QCOMPARE(Text(w, "CmdLabel"), QStringLiteral("Vexora已经更新成功"));
        QCOMPARE(server.RangeStarts(), (std::vector<long long>{0, 200000, 0}));
        QCOMPARE(QString::fromStdString(test::ReadFile(m_dir.File("setup"))),
                 QString::fromStdString(InstallerScript()));
    }

    void cancelStopsTheDownloadAtOnce()
    {
        CRangeServer server(InstallerScript());
        QVERIFY(server.Start());
        server.SetMode(CRangeServer::Mode::StallFirst, 1, 200000);
        CDownloadWnd w(Args(server.Url()));
        w.SetDownloadSettings(Settings());
        w.show();
        w.InitWindow();
        QTRY_VERIFY_WITH_TIMEOUT(w.Percent() > 0, 10000);
        QElapsedTimer t;
        t.start();
        Click(w, "cancelbtn");
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.HasDownload());
        QTest::qWait(200);
        QCOMPARE(w.CurrentPage(), int(CDownloadWnd::kPageProgress)); // nothing arrives after the close
    }

    void progressBarControl()
    {
        CForeColorProgressUI bar;
        bar.resize(300, 20);
        bar.SetAttribute("max", "100");
        bar.SetValue(40);
        bar.SetValue(101); // outside [min, max]: ignored
        QCOMPARE(bar.GetValue(), 40);
        bar.SetValue(-1);
        QCOMPARE(bar.GetValue(), 40);

        bar.SetMinValue(20);
        bar.SetMaxValue(120);
        bar.SetValue(70);
        QCOMPARE(bar.BarRect(), QRect(0, 0, 150, 20)); // half the width

        bar.SetAttribute("MAX", "60"); // names in any case; 70 lies beyond the new maximum
        bar.SetValue(50);
        QCOMPARE(bar.BarRect(), QRect(0, 0, 225, 20));

        // The window's bar: empty at first, a progress bar to a screen reader, its colours
        // (green on blue-grey) from the stylesheet, filled as far as BarRect says.
        CDownloadWnd w{UpdateArgs()};
        auto* formBar = w.findChild<CForeColorProgressUI*>("updatePctPro");
        QCOMPARE(formBar->GetMinValue(), 0);
        QCOMPARE(formBar->GetMaxValue(), 100);
        QCOMPARE(formBar->GetValue(), 0);
        QCOMPARE(formBar->size(), QSize(304, 25));
        QCOMPARE(w.size(), QSize(398, 272));
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(formBar);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::ProgressBar);
        QVERIFY(!a->text(QAccessible::Name).isEmpty());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(ColourAt(formBar, 1, 12), QStringLiteral("#7092be"));
        w.OnDownloadStatus(DS_NONE, 50);
        const QRect filled = formBar->BarRect();
        QCOMPARE(filled, QRect(0, 0, 152, 25));
        QCOMPARE(ColourAt(formBar, 1, 1), QStringLiteral("#22b14c"));
        QCOMPARE(ColourAt(formBar, filled.right(), 23), QStringLiteral("#22b14c"));
        QCOMPARE(ColourAt(formBar, filled.right() + 1, 12), QStringLiteral("#7092be"));
        QCOMPARE(ColourAt(formBar, 302, 23), QStringLiteral("#7092be"));
    }
};

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (!ApplyUpdateStyleSheet(app)) {
        fprintf(stderr, "the stylesheet resource is missing\n");
        return 1;
    }
    DownloadWndTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "DownloadWndTest.moc"
