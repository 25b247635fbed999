// What a teacher meets in the first sessions, through the main window against the simulator
// (offscreen, real pipeline and encoders): the start-up settings asked once, the sign-out
// question only while something converts, the space warning's text, the space search's banner
// and its end at sign-out, additions that partly fail, the desktop notification at the end of
// a batch while the window is hidden, and the end of the desktop session.

#include "MainTestEnv.h"
#include "app/LogFile.h"
#include "app/UserOptions.h"
#include "common/TestRegistry.h"
#include "media/ConvertMgr.h"
#include "platform/Paths.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/settings/StartSetWnd.h"
#include "ui/space/UserSpaceView.h"
#include "ui/space/VXDirListUI.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <fcntl.h>
#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vx;
using namespace vx::test;

namespace {

template <typename T> T* Child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

// Root reads every folder whatever its mode: this thread gives up that power for a while.
class CWithoutReadOverride
{
public:
    CWithoutReadOverride()
    {
        if (geteuid() != 0)
            return;
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct data[2] = {m_saved[0], m_saved[1]};
        data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, data) == 0;
    }
    ~CWithoutReadOverride()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

bool Sql(const std::string& db, const std::string& statement)
{
    sqlite3* h = nullptr;
    if (sqlite3_open(db.c_str(), &h) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_exec(h, statement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(h);
    return ok;
}

const _sLCItemData* FirstRecord(CMainWnd& w)
{
    const std::vector<std::string> idx = w.CourseList()->List()->Indexes();
    return idx.empty() ? nullptr : w.CourseList()->List()->Find(idx.front());
}

} // namespace

class MainFirstDayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SetDesktop(&m_shell); }
    void cleanupTestCase() { SetDesktop(nullptr); }

    void theFirstSessionAsksForTheStartUpSettingsOnce()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(Login(env, false));
        CStartSetWnd* start = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] { return (start = qobject_cast<CStartSetWnd*>(w.StartSettings())) && start->isVisible(); },
            30000));
        QCOMPARE(start->windowModality(), Qt::WindowModal);
        QVERIFY(w.isVisible());
        // The session waits: nothing is restored or started before the sizes are set.
        QTest::qWait(300);
        QVERIFY(!w.Pipeline().IsSessionRunning());
        VX_SCREENSHOT(start, "firstday-start-settings");

        // OK without a size for unknown videos: the window stays and says why.
        QVERIFY(ClickControl(start, QStringLiteral("okbtn")));
        QTRY_VERIFY(start->SizeErrorShown());
        QVERIFY(w.StartSettings());
        QVERIFY(ClickControl(start, QStringLiteral("uknowsize")));
        QVERIFY(ClickControl(start, QStringLiteral("unVideoSize2")));
        QVERIFY(ClickControl(start, QStringLiteral("showaway")));
        QVERIFY(ClickControl(start, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.StartSettings());
        QVERIFY(QTest::qWaitFor([&] { return w.Pipeline().IsSessionRunning(); }, 30000));
        _sSetData stored;
        QVERIFY(env.db->GetSetData(stored, env.config->m_i64UserId));
        QCOMPARE(stored.nUinfo & (kOptStartSetDone | kOptUnknownSize), kOptStartSetDone | kOptUnknownSize);
        QCOMPARE(stored.nUnkConvertWidth, 800);
        QCOMPARE(stored.nUnkConvertHeight, 600);
        // What holds for the session only is in force again.
        QCOMPARE(QString::fromStdString(env.config->m_setData.strConvertPath),
                 QString::fromStdString(env.dir.File("converted")));
        QCOMPARE(env.config->m_setData.nUinfo & kOptAutoShutdown, 0);

        // The next login goes straight on.
        w.SignOut(false);
        delete w.Login();
        QVERIFY(Login(env, false));
        QVERIFY(QTest::qWaitFor([&] { return w.Pipeline().IsSessionRunning(); }, 30000));
        QVERIFY(!w.StartSettings());
    }

    void signingOutAsksOnlyWhileSomethingReallyConverts()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        QStringList questions;
        int answer = 0;
        w.SetMessageBoxHook([&](const QString& text, int type) {
            if (type == MB_QUESTION)
                questions << text;
            return answer;
        });
        // An upload the slow file server keeps waiting: nothing converts, nothing is asked.
        QVERIFY(env.sim.SetFault("delay", "3000"));
        const std::string pdf = env.dir.File("讲义.pdf");
        QVERIFY(WriteFile(pdf, "%PDF-1.4\n%%EOF\n"));
        QVERIFY(AddAndWait(w, pdf));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const _sLCItemData* r = FirstRecord(w);
                return r && r->nStatus >= CS_WAIT_UPLOAD;
            },
            60000));
        QVERIFY(w.Pipeline().IsCourseWorking());
        w.SignOut(false);
        QVERIFY(questions.isEmpty());
        QVERIFY(!w.isVisible());
        delete w.Login();
        QVERIFY(env.sim.SetFault("delay", "0"));

        // A conversion that runs: the question names how many, and "no" keeps the session.
        QVERIFY(SignInAtRoot(env));
        const std::string clip = env.dir.File("long lecture.mp4");
        QVERIFY(MakeClip(clip, "640x480", 240));
        w.AddFiles({QString::fromStdString(clip)});
        QVERIFY(QTest::qWaitFor(
            [&] { return w.Pipeline().ConvertMgr() && w.Pipeline().ConvertMgr()->BusyCount() > 0; }, 120000));
        w.SignOut(false);
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions[0].toStdString(), env.config->GetText(2052) + "1" + env.config->GetText(2053));
        QVERIFY(w.isVisible());
        answer = 1;
        w.SignOut(false);
        QCOMPARE(questions.size(), 2);
        QVERIFY(!w.isVisible());
    }

    void theSpaceWarningExplainsWithTheLanguagesText()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        // Larger than the organisation's whole quota (a sparse file: no disk space used).
        const std::string big = env.dir.File("全部录像.mp4");
        const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QVERIFY(ftruncate(fd, 200LL << 30) == 0);
        close(fd);
        w.SetMessageBoxHook(nullptr); // the real window
        QString shown, title;
        bool whole = false;
        WhenModal(
            [&](QWidget* modal) {
                if (auto* l = modal->findChild<QLabel*>(QStringLiteral("infor"))) {
                    shown = l->text();
                    // Every line of it shows: the label is as tall as its wrapped text.
                    whole = l->height() >= l->heightForWidth(l->width());
                }
                title = modal->windowTitle();
                VX_SCREENSHOT(modal, "firstday-space-warning");
                ClickControl(modal, QStringLiteral("closebtn"));
            },
            30000);
        w.AddFiles({QString::fromStdString(big)});
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 30000);
        QString text2088 = QString::fromStdString(env.config->GetText(2088));
        QVERIFY(!text2088.isEmpty());
        QVERIFY2(shown.startsWith(text2088), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral("\n\n")));
        QVERIFY(shown.contains(QStringLiteral("剩余空间：")));
        QVERIFY(whole);
        QCOMPARE(title, QStringLiteral("SpaceInsufWnd"));
        QTRY_VERIFY(!w.IsAddingFiles());
        QCOMPARE(w.CourseList()->List()->Count(), size_t(0));
    }

    void theSpaceSearchShowsItsBannerAndEndsAtSignOut()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        w.resize(960, 640);
        QVERIFY(SignInAtRoot(env));
        QTest::mouseClick(Child<QPushButton>(&w, "UserSpaceOp"), Qt::LeftButton);
        auto* edit = Child<QLineEdit>(&w, "SpaceSearchtext");
        auto* banner = Child<QStackedWidget>(&w, "searchErrTab");
        edit->setFocus();
        TypeText(edit, QStringLiteral("没有这样的课件"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible(), 20000);
        QCOMPARE(banner->currentIndex(), 2);
        QVERIFY(Child<QLabel>(&w, "SpacesearchKey")->text().contains(QStringLiteral("没有这样的课件")));
        // Over the folder list, right of the tree.
        QWidget* tree = Child<QWidget>(&w, "SpaceDirView");
        QVERIFY(banner->x() >= tree->mapTo(&w, QPoint(tree->width(), 0)).x());
        QCOMPARE(banner->y(), w.SpaceView()->List()->viewport()->mapTo(&w, QPoint(0, 0)).y());
        VX_SCREENSHOT(&w, "firstday-space-no-result");

        // Signing out ends the search: the next user finds an empty box and no banner.
        w.SignOut(false);
        QVERIFY(!banner->isVisible());
        QCOMPARE(edit->text(), QString());
        QCOMPARE(Child<QLabel>(&w, "SpacesearchKey")->text(), QString());
        delete w.Login();
        QVERIFY(SignInAtRoot(env));
        QCOMPARE(edit->text(), QString());
        QVERIFY(!banner->isVisible());
        QVERIFY(!w.Space().List().IsSearch());
    }

    void whatAnAdditionCouldNotDoIsShown()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        // A folder with a sub-folder this user may not read.
        const std::string top = env.dir.File("第二单元");
        const std::string locked = top + "/教师用书";
        QVERIFY(MakeDirs(locked));
        QVERIFY(WriteFile(top + "/练习.pdf", "%PDF-1.4\n%%EOF\n"));
        QVERIFY(WriteFile(locked + "/答案.pdf", "%PDF-1.4\n%%EOF\n"));
        QVERIFY(chmod(locked.c_str(), 0) == 0);
        {
            CWithoutReadOverride asUser;
            QVERIFY(Drop(w, {top}));
            QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 60000));
        }
        chmod(locked.c_str(), 0755);
        QString failures = env.boxes.join(QLatin1Char('|'));
        QVERIFY2(failures.contains(QStringLiteral("无法读取")) &&
                     failures.contains(QString::fromStdString(locked)),
                 qPrintable(failures));
        QCOMPARE(w.CourseList()->List()->Count() + w.DoneList()->List()->Count(), size_t(1));

        // The database refuses to store new records: nothing is listed and the user is told.
        env.boxes.clear();
        const std::string dbPath = env.dir.File("DB/vexora_v2.0.db");
        QVERIFY(Sql(dbPath, "create trigger refuse before insert on coursefile "
                            "begin select raise(abort,'the disk is full'); end"));
        const std::string more = env.dir.File("补充.pdf");
        QVERIFY(WriteFile(more, "%PDF-1.4\n%%EOF\n"));
        const size_t listed = w.CourseList()->List()->Count() + w.DoneList()->List()->Count();
        w.AddFiles({QString::fromStdString(more)});
        QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 60000));
        QVERIFY(Sql(dbPath, "drop trigger refuse"));
        failures = env.boxes.join(QLatin1Char('|'));
        QVERIFY2(failures.contains(QStringLiteral("没有添加")) &&
                     failures.contains(QStringLiteral("the disk is full")),
                 qPrintable(failures));
        QCOMPARE(w.CourseList()->List()->Count() + w.DoneList()->List()->Count(), listed);
    }

    void theEndOfABatchWhileHiddenIsAnnouncedOnTheDesktop()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        QStringList notes;
        w.SetNotifyHook([&](const QString&, const QString& text) { notes << text; });
        const std::string good = env.dir.File("课程介绍.pdf");
        const std::string broken = env.dir.File("坏的录像.mp4");
        QVERIFY(WriteFile(good, "%PDF-1.4\n%%EOF\n"));
        QVERIFY(WriteFile(broken, std::string(4096, 'x'))); // no media in it
        w.AddFiles({QString::fromStdString(good), QString::fromStdString(broken)});
        QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 30000));
        w.hide(); // in the tray
        QVERIFY2(QTest::qWaitFor([&] { return !notes.isEmpty(); }, 180000),
                 qPrintable(QString::fromStdString(ReadFile(GetDataFolder() + "Log/log.txt")).right(2000)));
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].contains(QStringLiteral("1 个文件已上传")), qPrintable(notes[0]));
        QVERIFY2(notes[0].contains(QStringLiteral("坏的录像.mp4")), qPrintable(notes[0]));
        // Nothing more to announce while nothing happens.
        QTest::qWait(4000);
        QCOMPARE(notes.size(), 1);
    }

    void theEndOfTheDesktopSessionClosesInOrderWithoutAsking()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        QStringList questions;
        w.SetMessageBoxHook([&](const QString& text, int type) {
            if (type == MB_QUESTION)
                questions << text;
            return 0;
        });
        const std::string clip = env.dir.File("讲座.mp4");
        QVERIFY(MakeClip(clip, "640x480", 240));
        QVERIFY(AddAndWait(w, clip));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const _sLCItemData* r = FirstRecord(w);
                return r && r->nStatus == CS_CONVERTING && r->nProgress > 0;
            },
            120000));
        w.EndOfSession("the desktop session ends");
        QCOMPARE(env.quits, 1);
        QVERIFY(questions.isEmpty());
        QVERIFY(!w.Pipeline().ConvertMgr()); // the encoders are ended with their workers
        // The record went back to the database as the list showed it last.
        const _sLCItemData* listed = FirstRecord(w);
        QVERIFY(listed);
        std::vector<_sLCItemData> rows;
        QVERIFY(env.db->GetCourseFile(env.config->m_i64UserId, &rows));
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows[0].nStatus, listed->nStatus);
        QCOMPARE(rows[0].strConvertPath, listed->strConvertPath);
        QCOMPARE(rows[0].i64FileStart, listed->i64FileStart);
        QVERIFY(
            ReadFile(GetDataFolder() + "Log/log.txt").find("the desktop session ends: the program closes") !=
            std::string::npos);
    }

private:
    CShellRecorder m_shell;
};

VX_REGISTER_QTEST(MainFirstDayTest);

#include "MainFirstDayTest.moc"
