// The space windows (text 2088, the two web pages, the used/total percentage rule) and the
// course detail window (its three paths, revealing files on click, updating in place), each
// with a screenshot, and each used by keyboard alone. The desktop shell is a recorder: nothing is opened.

#include "Recorder.h"
#include "TestRegistry.h"
#include "app/LanguageTable.h"
#include "common/UiTestUtil.h"
#include "ui/CourseDetailWnd.h"
#include "ui/DesktopShell.h"
#include "ui/VxSpaceInfoWnd.h"
#include "ui/VxSpaceMsgWnd.h"

#include <QLabel>
#include <QTest>

using namespace vx;
using vx::test::CDesktopRecorder;

namespace {

SpaceLinks Links()
{
    SpaceLinks l;
    l.webHost = QStringLiteral("127.0.0.1");
    l.webPort = 18080;
    l.orgId = 9000000001234ll;
    return l;
}

} // namespace

class SpaceDetailTest : public QObject
{
    Q_OBJECT

private slots:
    void spacePercentRule()
    {
        QCOMPARE(SpacePercent(5, 10), 50);
        QCOMPARE(SpacePercent(1, 3), 33); // truncated
        QCOMPARE(SpacePercent(2, 3), 66);
        QCOMPARE(SpacePercent(10, 10), 100);
        QCOMPARE(SpacePercent(12, 10), 100); // over quota
        QCOMPARE(SpacePercent(0, 0), 0);     // no space and nothing used
        QCOMPARE(SpacePercent(3, 0), 100);   // used but no space at all
        QCOMPARE(SpacePercent(0, 50), 0);
        QCOMPARE(SpacePercent(-1, 10), 0);
    }

    void spaceInfoShowsFiguresAndOpensThePages()
    {
        CDesktopRecorder desktop;
        CVxSpaceInfoWnd w(nullptr, Links());
        w.SetSpace(37, 50);
        QCOMPARE(w.Text(), QStringLiteral("已用37G,共50G"));
        QCOMPARE(w.Percent(), 74);
        w.show();
        VX_SCREENSHOT(&w, "space-info");
        w.SetSpace(60, 50);
        QCOMPARE(w.Percent(), 100);
        w.SetSpace(0, 0);
        QCOMPARE(w.Percent(), 0);
        QCOMPARE(w.Text(), QStringLiteral("已用0G,共0G"));
        test::ClickControl(&w, QStringLiteral("PurchaseSpaceBtn"));
        test::ClickControl(&w, QStringLiteral("MangeSpaceBtn"));
        QCOMPARE(desktop.opened,
                 QStringList({QStringLiteral("http://127.0.0.1:18080/organizationAdminRedirect.do?"
                                             "action=toBuyFtpSpace&organizationId=9000000001234"),
                              QStringLiteral("http://127.0.0.1:18080/organizationAdminRedirect.do?"
                                             "action=toManageCourseSpace&organizationId=9000000001234")}));
    }

    void spaceMessageShowsText2088AndItsLinks()
    {
        CDesktopRecorder desktop;
        CLanguageTable texts;
        texts.Load(VX_SOURCE_DIR "/resources/Language/SimpleChinese");
        const QString raw = QString::fromStdString(texts.GetRawText(2088));
        QVERIFY(raw.contains(QLatin1String("@n@n")));
        CVxSpaceMsgWnd w(nullptr, raw, Links());
        const QString shown = w.findChild<QLabel*>(QStringLiteral("infor"))->text();
        QVERIFY(shown.contains(QLatin1String("\n\n")));
        QVERIFY(!shown.contains(QLatin1String("@n")));
        w.show();
        VX_SCREENSHOT(&w, "space-message");
        test::ClickControl(&w, QStringLiteral("ManageSpace"));
        test::ClickControl(&w, QStringLiteral("PurchaseSpace"));
        QCOMPARE(desktop.opened.size(), qsizetype(2));
        QVERIFY(desktop.opened[0].contains(QLatin1String("toManageCourseSpace")));
        QVERIFY(desktop.opened[1].contains(QLatin1String("toBuyFtpSpace")));
        test::ClickControl(&w, QStringLiteral("closebtn"));
        QCOMPARE(w.result(), 1);
        QVERIFY(!w.isVisible());
    }

    void courseDetailRevealsSourceAndConvertedFilesOnly()
    {
        CDesktopRecorder desktop;
        const QString src = QStringLiteral("/home/老师/课程/第三章 函数与极限 (上).mp4");
        const QString dst =
            QStringLiteral("/home/老师/.local/share/Tolvane/VexoraV2/Convert/1f2e3d4c-0001-0002-"
                           "0123456789abcdef/第三章 函数与极限 (上).flv");
        const QString space = QStringLiteral("demo/Lessons/高等数学/第三章 函数与极限 (上).flv");
        CCourseDetailWnd w(nullptr, src, dst, space);
        w.show();
        VX_SCREENSHOT(&w, "course-detail");
        auto* srcLabel = w.findChild<QWidget*>(QStringLiteral("sourseFilePath"));
        QCOMPARE(srcLabel->toolTip(), src);
        test::ClickControl(&w, QStringLiteral("sourseFilePath"));
        test::ClickControl(&w, QStringLiteral("DestFilePath"));
        test::ClickControl(&w, QStringLiteral("SpaceFilePath"));
        QCOMPARE(desktop.revealed, QStringList({src, dst}));

        // An open window takes new paths instead of a second window opening.
        w.SetPaths(QStringLiteral("/data/a.pdf"), QStringLiteral("/data/out/a.pdf"),
                   QStringLiteral("demo/a.pdf"));
        QCOMPARE(srcLabel->toolTip(), QStringLiteral("/data/a.pdf"));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("SpaceFilePath"))->text(), QStringLiteral("demo/a.pdf"));
        test::ClickControl(&w, QStringLiteral("DestFilePath"));
        QCOMPARE(desktop.revealed.last(), QStringLiteral("/data/out/a.pdf"));
        for (const char* b : {"okbtn", "cancelbtn", "closebtn"}) {
            w.show();
            test::ClickControl(&w, QString::fromLatin1(b));
            QCOMPARE(w.result(), 1);
            QVERIFY(!w.isVisible());
        }
    }

    void dialogsWorkByKeyboardAlone()
    {
        CDesktopRecorder desktop;
        CCourseDetailWnd w(nullptr, QStringLiteral("/data/a.pdf"), QStringLiteral("/data/out/a.pdf"),
                           QStringLiteral("demo/a.pdf"));
        w.show();
        auto key = [](QWidget* window, Qt::Key k) { QTest::keyClick(window->focusWidget(), k); };
        // First focus on the source path, named by the whole path; Space reveals it, Tab then
        // Space the converted file.
        QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("sourseFilePath"));
        QCOMPARE(w.focusWidget()->accessibleName(), QStringLiteral("/data/a.pdf"));
        key(&w, Qt::Key_Space);
        key(&w, Qt::Key_Tab);
        key(&w, Qt::Key_Space);
        QCOMPARE(desktop.revealed,
                 QStringList({QStringLiteral("/data/a.pdf"), QStringLiteral("/data/out/a.pdf")}));
        key(&w, Qt::Key_Escape);
        QCOMPARE(w.result(), int(CVxDialog::kResultClose));
        QVERIFY(!w.isVisible());

        CVxSpaceMsgWnd m(nullptr, QStringLiteral("空间不足"), Links());
        m.show();
        QCOMPARE(m.focusWidget()->objectName(), QStringLiteral("PurchaseSpace"));
        key(&m, Qt::Key_Tab);
        key(&m, Qt::Key_Return);
        QVERIFY(desktop.opened.value(0).contains(QLatin1String("toManageCourseSpace")));
        key(&m, Qt::Key_Tab);
        QCOMPARE(m.focusWidget()->accessibleName(), QStringLiteral("关闭"));
        key(&m, Qt::Key_Space);
        QCOMPARE(m.result(), 1);
    }

    void systemShellBuildsFileUrisAndFallbackFolders()
    {
        QCOMPARE(CSystemDesktopShell::FileUri(QStringLiteral("/tmp/课程 1/a#b.flv")),
                 QStringLiteral("file:///tmp/%E8%AF%BE%E7%A8%8B%201/a%23b.flv"));
        QCOMPARE(CSystemDesktopShell::FallbackFolder(QStringLiteral("/tmp/nowhere/x.flv")),
                 QStringLiteral("/tmp/nowhere"));
        QCOMPARE(CSystemDesktopShell::FallbackFolder(QStringLiteral("/tmp")), QStringLiteral("/tmp"));
        // Only web pages are handed to the browser.
        CSystemDesktopShell shell;
        QVERIFY(!shell.OpenUrl(QStringLiteral("file:///etc/passwd")));
        QVERIFY(!shell.OpenUrl(QStringLiteral("javascript:alert(1)")));
    }
};

VX_REGISTER_QTEST(SpaceDetailTest);
#include "SpaceDetailTest.moc"
