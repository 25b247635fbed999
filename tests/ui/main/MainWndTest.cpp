// The main window's own behaviour with real clicks and keys (offscreen): the form, the tab
// counts, the search boxes of the two course pages, the course buttons for every status,
// close and hide, the caption drag and the tray while signed out.

#include "MainTestEnv.h"
#include "app/LogFile.h"
#include "common/TestRegistry.h"
#include "platform/Paths.h"
#include "ui/HintEditUI.h"
#include "ui/VXOptionEx.h"
#include "ui/VxMessageWnd.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>
#include <thread>

using namespace vx;
using namespace vx::test;

namespace {

_sLCItemData Record(const std::string& name, int status)
{
    static int n = 0;
    _sLCItemData r;
    r.strFileIndex = "idx-" + std::to_string(++n);
    r.strFileName = name;
    r.strFilePath = "/courses/" + name;
    r.nStatus = status;
    r.i64FileSize = 1024 * 1024;
    return r;
}

template <typename T> T* Child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

bool Enabled(QWidget* w, const char* name)
{
    return Child<QWidget>(w, name)->isEnabled();
}

} // namespace

class MainWndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SetDesktop(&m_shell); }
    void cleanupTestCase() { SetDesktop(nullptr); }

    void theFormHoldsEveryNamedControlAndTheTabsCount()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        VX_VERIFY_FORM_CONTRACT(&w, CMainWnd::RequiredControls());
        QCOMPARE(w.property("windowClass").toString(), QStringLiteral("_VexoraV2MainWnd_"));
        // Hidden at start, page 2 selected, "searchtext" locked until a session starts.
        QVERIFY(!w.isVisible());
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 2);
        QVERIFY(!Child<QWidget>(&w, "searchtext")->isEnabled());

        auto* handling = Child<CVXOptionEx>(&w, "HandlingOp");
        auto* converted = Child<CVXOptionEx>(&w, "ConvertedOp");
        QCOMPARE(handling->GetText(), QStringLiteral("正在处理"));
        QCOMPARE(converted->GetText(), QStringLiteral("已转换"));
        w.CourseList()->List()->AddRecord(Record("a.mp4", 2), true);
        w.CourseList()->List()->AddRecord(Record("b.mp4", 2), true);
        w.DoneList()->List()->AddRecord(Record("c.flv", 11), true);
        w.RefreshTabCounts();
        QCOMPARE(handling->GetText(), QStringLiteral("正在处理(2)"));
        QCOMPARE(converted->GetText(), QStringLiteral("已转换(1)"));

        // The tabs select their pages with real clicks.
        w.show();
        QTest::mouseClick(handling, Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 0);
        VX_SCREENSHOT(&w, "main-course-page");
        QTest::mouseClick(converted, Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 1);
        VX_SCREENSHOT(&w, "main-converted-page");
        QTest::mouseClick(Child<CVXOptionEx>(&w, "UserSpaceOp"), Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 2);
        VX_SCREENSHOT(&w, "main-space-page");
    }

    void searchingTheCoursePagesShowsAndClearsTheBanner()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.show();
        auto* list = w.CourseList()->List();
        list->AddRecord(Record("数学第一课.mp4", 2), true);
        list->AddRecord(Record("english lesson.mp3", 2), true);
        list->AddRecord(Record("数学第二课.pdf", 2), true);
        QTest::mouseClick(Child<CVXOptionEx>(&w, "HandlingOp"), Qt::LeftButton);
        auto* edit = Child<CHintEditUI>(&w, "ProceSearchEdit");
        auto* banner = Child<QStackedWidget>(&w, "searchErrTab");

        // Enter in an empty box changes nothing.
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QApplication::processEvents();
        QCOMPARE(w.SearchPage(), int(CMainWnd::kSearchNone));
        QVERIFY(!Child<QWidget>(&w, "QuitProcesearchBtn")->isVisible());
        QCOMPARE(list->VisibleCount(), 3);

        // A match filters the list; no banner.
        vx::test::TypeText(edit, QStringLiteral("数学"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(w.SearchPage(), int(CMainWnd::kSearchCourse));
        QTRY_COMPARE(list->VisibleCount(), 2);
        QVERIFY(list->IsSearching());
        QVERIFY(!banner->isVisible());
        QVERIFY(Child<QWidget>(&w, "QuitProcesearchBtn")->isVisible());

        // No match: the banner shows the key over the page.
        edit->clear();
        vx::test::TypeText(edit, QStringLiteral("化学"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(banner->currentIndex(), 0);
        QVERIFY(Child<QLabel>(&w, "ProcesearchKey")->text().contains(QStringLiteral("化学")));
        QCOMPARE(banner->y(), 145);
        VX_SCREENSHOT(&w, "main-search-no-result");

        // Emptying the box restores the whole list and hides the banner.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTRY_COMPARE(list->VisibleCount(), 3);
        QVERIFY(!list->IsSearching());
        QVERIFY(!banner->isVisible());
        QVERIFY(Child<QLabel>(&w, "ProcesearchKey")->text().isEmpty());

        // The converted page the same way, ended by its quit button.
        auto* done = w.DoneList()->List();
        auto first = Record("物理.flv", 11);
        first.strConvertPath = "/out/物理.flv";
        done->AddRecord(first, true);
        QTest::mouseClick(Child<CVXOptionEx>(&w, "ConvertedOp"), Qt::LeftButton);
        auto* doneEdit = Child<CHintEditUI>(&w, "doneSearchEdit");
        doneEdit->setFocus();
        vx::test::TypeText(doneEdit, QStringLiteral("zzz"));
        QTest::keyClick(doneEdit, Qt::Key_Return);
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(banner->currentIndex(), 1);
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("QuitdoneSearchBtn")));
        QTRY_VERIFY(!banner->isVisible());
        QCOMPARE(doneEdit->text(), QString());
        QCOMPARE(done->VisibleCount(), 1);
    }

    void theCourseButtonsFollowTheCheckedElementsStatus()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.show();
        auto* list = w.CourseList()->List();
        for (int s = 1; s <= 14; ++s)
            list->AddRecord(Record("s" + std::to_string(s) + ".mp4", s), true);
        const char* names[] = {"stopTransBtn", "transAginBtn", "uploadBtn", "pauseBtn"};
        for (int s = 1; s <= 14; ++s) {
            // The element of status s is at row s - 1; a plain click checks only it.
            list->ItemClick(s - 1, false, false);
            QApplication::processEvents();
            QVERIFY2(Enabled(&w, "lcdelBtn"), qPrintable(QString::number(s)));
            const bool expect[] = {s == 5 || s == 6, s == 4 || s == 7, s == 10 || s == 11 || s == 14,
                                   s == 12 || s == 13};
            for (int i = 0; i < 4; ++i)
                QVERIFY2(Enabled(&w, names[i]) == expect[i],
                         qPrintable(QStringLiteral("status %1, %2").arg(s).arg(QLatin1String(names[i]))));
            // With a second element checked only the delete button stays.
            list->ItemClick(s == 1 ? 1 : 0, true, false);
            QApplication::processEvents();
            QVERIFY(Enabled(&w, "lcdelBtn"));
            for (const char* n : names)
                QVERIFY2(
                    !Enabled(&w, n),
                    qPrintable(QStringLiteral("two checked, status %1, %2").arg(s).arg(QLatin1String(n))));
        }
        list->ClearSelection();
        QApplication::processEvents();
        QVERIFY(!Enabled(&w, "lcdelBtn"));
    }

    void closingHidesFirstAndStoresTheBitThenExitsWithTheOption()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        env.config->m_i64UserId = 7;
        _sSetData o;
        o.nUinfo = 0x20; // neither "closed once" nor "close exits"
        env.config->SetUserOptions(o);
        w.show();
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(env.quits, 0);
        QVERIFY(env.config->m_setData.nUinfo & kOptShowMin);
        _sSetData stored;
        QVERIFY(env.db->GetSetData(stored, 7));
        QVERIFY(stored.nUinfo & kOptShowMin);

        // The window manager's close only hides as well.
        w.show();
        QVERIFY(!w.close());
        QVERIFY(!w.isVisible());

        // With "close exits" the close button ends the program.
        o = env.config->m_setData;
        o.nUinfo |= kOptExitApp;
        env.config->SetUserOptions(o);
        w.show();
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_COMPARE(env.quits, 1);
    }

    void theCaptionDragsExceptOnItsNamesAndButtons()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.show();
        w.move(100, 100);
        auto* user = Child<QLabel>(&w, "username");
        const QPoint onUser = user->mapTo(&w, user->rect().center());
        QVERIFY(!w.IsCaptionPoint(onUser));
        QVERIFY(!w.IsCaptionPoint(Child<QWidget>(&w, "closebtn")->geometry().center() +
                                  Child<QWidget>(&w, "CaptionBar")->pos()));
        auto* caption = Child<QWidget>(&w, "CaptionBar");
        const QPoint empty(caption->width() / 2, caption->height() / 2);
        QVERIFY(w.IsCaptionPoint(caption->mapTo(&w, empty)));
        QVERIFY(!w.IsCaptionPoint(QPoint(w.width() / 2, w.height() / 2)));

        // Dragging on "username" leaves the window where it is.
        const QPoint before = w.pos();
        QTest::mousePress(user, Qt::LeftButton, Qt::NoModifier, user->rect().center());
        QTest::mouseMove(user, user->rect().center() + QPoint(40, 30));
        QTest::mouseRelease(user, Qt::LeftButton, Qt::NoModifier, user->rect().center() + QPoint(40, 30));
        QCOMPARE(w.pos(), before);
    }

    void theTrayDoesNothingWhileSignedOut()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        QVERIFY(!w.isVisible());
        w.OnTrayNotify(0x0203);
        QVERIFY(!w.isVisible());
        w.OnTrayNotify(0x0205);
        QVERIFY(!w.findChild<QWidget*>(QStringLiteral("VXDirListItemMenu")));
        // Signed in: the double click brings the window back.
        env.config->m_i64UserId = 3;
        env.config->SetCookie("JSESSIONID=x");
        w.OnTrayNotify(0x0203);
        QVERIFY(w.isVisible());
    }

    void messagesPostedFromAWorkerOpenBoxesWithoutBlocking()
    {
        MainEnv env;
        OpenLogs();
        CMainWnd& w = *env.wnd;
        w.SetMessageBoxHook(nullptr); // the real boxes
        // A worker posts three texts; each opens a box of its own, none of them modal, in order.
        const QStringList texts = {QStringLiteral("上传失败：a.mp4"), QStringLiteral("second \"b\""),
                                   QStringLiteral("third; $x")};
        std::thread worker([&] {
            for (const QString& t : texts)
                w.Pipeline().ShowMessageAsync(t.toStdString());
        });
        worker.join();
        auto shown = [&] {
            QStringList out;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<CVxMessageWnd*>(top); box && box->isVisible())
                    for (QLabel* l : box->findChildren<QLabel*>())
                        if (texts.contains(l->text()))
                            out << l->text();
            return out;
        };
        QTRY_COMPARE(shown().size(), 3);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        // The loop goes on while the boxes are open: a timer still fires.
        bool ticked = false;
        QTimer::singleShot(0, &w, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        const std::string log = ReadFile(GetDataFolder() + "Log/log.txt");
        size_t at = 0;
        for (const QString& t : texts) {
            at = log.find("info : " + t.toStdString(), at);
            QVERIFY2(at != std::string::npos, qPrintable(t)); // logged, in the order posted
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<CVxMessageWnd*>(top))
                box->close();
        QTRY_COMPARE(shown().size(), 0);
    }

    void theFileDialogListsBothCasesOfEveryExtension()
    {
        const QStringList filters = CMainWnd::FileFilters();
        QCOMPARE(filters.size(), 2);
        QVERIFY(filters[0].startsWith(QStringLiteral("常见音视频/PDF/SWF课件")));
        for (const char* ext : {"MP4", "mp4", "PDF", "pdf", "SWF", "swf", "RMVB", "rmvb", "MTS", "mts"})
            QVERIFY2(filters[0].contains(QStringLiteral("*.%1").arg(QLatin1String(ext))), ext);
    }

private:
    CShellRecorder m_shell;
};

VX_REGISTER_QTEST(MainWndTest);

#include "MainWndTest.moc"
