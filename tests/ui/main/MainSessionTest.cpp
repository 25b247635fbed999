// A whole session through the main window against the simulator, offscreen, with the real
// pipeline and encoders: log in, drop a folder tree whose names hold quotes, ';', '$', a
// leading '-', a line break and Chinese characters, watch every file reach status 15 in its
// mirrored remote folder, sign out and in again; the window going on while the server answers
// slowly; and a second VexoraV2 that raises the first.

#include "MainTestEnv.h"
#include "app/LogFile.h"
#include "app/UserOptions.h"
#include "common/TestRegistry.h"
#include "media/ConvertMgr.h"
#include "net/Session.h"
#include "net/SpaceApi.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "space/SpaceController.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/main/InstanceServer.h"
#include "ui/settings/AutoShutDownWnd.h"
#include "ui/settings/SetDataWnd.h"

#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <map>
#include <set>

#include <unistd.h>

using namespace vx;
using namespace vx::test;

namespace {

const SpaceTreeItem* ChildFolder(CSpaceController& space, int64_t parent, const std::string& name)
{
    for (int64_t id : space.Tree().ChildrenOf(parent)) {
        const SpaceTreeItem* item = space.Tree().Find(id);
        if (item && item->entry.strName == name)
            return item;
    }
    return nullptr;
}

} // namespace

class MainSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SetDesktop(&m_shell); }
    void cleanupTestCase() { SetDesktop(nullptr); }

    void aDroppedTreeGoesThroughToTheSpaceAndComesBackAfterSigningIn()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        CSpaceController& space = w.Space();
        const int64_t root = space.Tree().RootIdOf(env.config->m_i64UserId);
        QCOMPARE(space.List().DirId(), root);
        QVERIFY(Child(w, "searchtext")->isEnabled());
        QVERIFY(Child(w, "username")->property("text").toString().startsWith(QStringLiteral("Vexora | ")));

        // The tree: names a shell would mangle, a sub-folder with a document.
        const std::string top = env.dir.File("课程 \"A\";$HOME");
        QVERIFY(MakeDirs(top + "/sub"));
        const std::string clip = top + "/-clip 1.mp4", song = top + "/歌曲's.mp3";
        QVERIFY(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "2", "-c:v", "libx264",
                        "-preset", "ultrafast", clip}));
        QVERIFY(Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=2", song}));
        QVERIFY(WriteFile(top + "/notes;1.pdf", "%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n"));
        QVERIFY(WriteFile(top + "/sub/anim$.swf",
                          std::string("FWS\x0a\x10\x00\x00\x00", 8) + std::string(64, 'x')));
        // Line breaks in a folder's and a file's name: the local paths stay exact, the platform
        // (which refuses control characters in names) gets a blank instead.
        const std::string broken = top + "/two\nlines", page = broken + "/page\n2.pdf";
        QVERIFY(MakeDirs(broken));
        QVERIFY(WriteFile(page, "%PDF-1.4\n2 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n"));

        // A real drop of the folder's URL on the window; the records appear once the server
        // made the folders.
        QVERIFY(Drop(w, {top}));
        QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 60000));
        QString refused;
        for (const auto& r : w.Intake().Refused())
            refused += QString::fromStdString(r.first + ": " + r.second + "; ");
        QVERIFY2(
            w.CourseList()->List()->Count() + w.DoneList()->List()->Count() >= 5,
            qPrintable(
                env.boxes.join(QLatin1Char('|')) + QStringLiteral(" / ") +
                QString::fromStdString(w.Intake().Error()) + refused +
                QStringLiteral(" session %1 dir %2 log %3")
                    .arg(w.HasSession())
                    .arg(space.List().DirId())
                    .arg(QString::fromStdString(ReadFile(GetDataFolder() + "Log/log.txt")).right(1500))));
        QStringList names;
        for (const std::string& idx : w.CourseList()->List()->Indexes())
            names << QString::fromStdString(w.CourseList()->List()->Find(idx)->strFilePath);
        for (const std::string& p : {clip, song, top + "/notes;1.pdf", top + "/sub/anim$.swf", page})
            QVERIFY2(names.contains(QString::fromStdString(p)), p.c_str());
        QTest::mouseClick(Child(w, "HandlingOp"), Qt::LeftButton);
        VX_SCREENSHOT(&w, "session-course-page");
        QTest::mouseClick(Child(w, "UserSpaceOp"), Qt::LeftButton);

        // The remote folders mirror the local ones.
        const SpaceTreeItem* made = ChildFolder(space, root, "课程 \"A\";$HOME");
        QVERIFY(made);
        const SpaceTreeItem* sub = ChildFolder(space, made->entry.i64Id, "sub");
        QVERIFY(sub);
        const SpaceTreeItem* lines = ChildFolder(space, made->entry.i64Id, "two lines");
        QVERIFY(lines);

        // Every file goes through to status 15.
        const bool through = QTest::qWaitFor([&] { return w.CourseList()->List()->Count() == 0; }, 240000);
        QString states;
        for (const std::string& idx : w.CourseList()->List()->Indexes()) {
            const _sLCItemData* r = w.CourseList()->List()->Find(idx);
            states += QStringLiteral("%1=%2 ").arg(QString::fromStdString(r->strFileName)).arg(r->nStatus);
        }
        QVERIFY2(
            through,
            qPrintable(states + env.boxes.join(QLatin1Char('|')) +
                       QString::fromStdString(ReadFile(GetDataFolder() + "Log/transfile.txt")).right(1500) +
                       QString::fromStdString(ReadFile(GetDataFolder() + "Log/log.txt")).right(2500)));
        QCOMPARE(int(w.DoneList()->List()->Count()), 5);
        for (const std::string& idx : w.DoneList()->List()->Indexes())
            QCOMPARE(w.DoneList()->List()->Find(idx)->nStatus, 15);
        QCOMPARE(Child(w, "HandlingOp")->property("text").toString(),
                 QString::fromStdString(env.config->GetText(2058)));
        VX_SCREENSHOT(&w, "session-converted");
        QTest::mouseClick(Child(w, "ConvertedOp"), Qt::LeftButton);
        VX_SCREENSHOT(&w, "session-converted-page");
        QTest::mouseClick(Child(w, "UserSpaceOp"), Qt::LeftButton);

        // The mirrored sub-folder holds the SWF.
        space.ShowDirList(sub->entry.i64Id);
        QVERIFY(space.WaitIdle(20000));
        QCOMPARE(int(space.List().Count()), 1);
        QCOMPARE(space.List().Rows()[0].entry.strName.find("anim$"), size_t(0));
        VX_SCREENSHOT(&w, "session-space-sub");
        space.ShowDirList(lines->entry.i64Id);
        QVERIFY(space.WaitIdle(20000));
        QCOMPARE(int(space.List().Count()), 1);
        QCOMPARE(space.List().Rows()[0].entry.strName.find("page 2"), size_t(0));

        // Sign out and in again: the converted list comes back from the database.
        w.SignOut(false);
        QVERIFY(!w.isVisible());
        QVERIFY(w.Login());
        QCOMPARE(int(w.DoneList()->List()->Count()), 0);
        QCOMPARE(env.config->m_i64UserId, int64_t(-1));
        delete w.Login();
        QVERIFY(SignIn(env));
        QTRY_COMPARE(int(w.DoneList()->List()->Count()), 5);
    }

    void aDroppedTreeWithLinkLoopsAddsEachFileOnceAndSaysWhatItLeftOut()
    {
        MainEnv env(true);
        OpenLogs();
        env.config->Language().Load(BinDir() + "Language/SimpleChinese");
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        const std::string top = env.dir.File("looped");
        QVERIFY(MakeDirs(top + "/sub"));
        QVERIFY(WriteFile(top + "/a.pdf", "%PDF-1.4 a"));
        QVERIFY(WriteFile(top + "/sub/b.pdf", "%PDF-1.4 b"));
        QCOMPARE(symlink(".", (top + "/self").c_str()), 0);
        QCOMPARE(symlink("..", (top + "/sub/up").c_str()), 0);
        QVERIFY(Drop(w, {top}));
        QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 60000));
        QCOMPARE(int(w.CourseList()->List()->Count() + w.DoneList()->List()->Count()), 2);
        const QString shown = env.boxes.join(QLatin1Char('|'));
        QVERIFY2(shown.contains(QString::fromStdString(env.config->GetText(2091))), qPrintable(shown));
        QVERIFY2(shown.contains(QString::fromStdString(top + "/self")), qPrintable(shown));
        QVERIFY2(shown.contains(QString::fromStdString(top + "/sub/up")), qPrintable(shown));
    }

    void aSlowServerLeavesTheWindowUsableAndAdditionsLandInOrder()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        CSpaceController& space = w.Space();
        const int64_t root = space.Tree().RootIdOf(env.config->m_i64UserId);

        const std::string top = env.dir.File("slow tree"), loose = env.dir.File("loose.pdf");
        QVERIFY(MakeDirs(top));
        QVERIFY(WriteFile(top + "/inner.pdf", "%PDF-1.4\n%%EOF\n"));
        QVERIFY(WriteFile(loose, "%PDF-1.4\n%%EOF\n"));

        // Every answer of the platform now takes seconds: the free space, then the folders.
        QVERIFY(env.sim.SetFault("delay", "2500"));
        QVERIFY(Drop(w, {top}));
        QVERIFY(Drop(w, {loose}));
        QVERIFY(w.IsAddingFiles());
        QCOMPARE(int(w.CourseList()->List()->Count()), 0);

        // Meanwhile the window handles its events: a timer fires and a page changes.
        bool timerRan = false;
        QTimer::singleShot(0, &w, [&] { timerRan = true; });
        QVERIFY(QTest::qWaitFor([&] { return timerRan; }, 2000));
        QTest::mouseClick(Child(w, "ConvertedOp"), Qt::LeftButton);
        QCOMPARE(w.findChild<QStackedWidget*>(QStringLiteral("switchoverTab"))->currentIndex(), 1);
        QVERIFY(w.IsAddingFiles()); // all of this before the server answered
        // The user opens another folder while the second drop still waits for the first: the
        // dropped file still goes where it was dropped.
        const SpaceTreeItem* lessons = ChildFolder(space, root, "Lessons");
        QVERIFY(lessons);
        space.ShowDirList(lessons->entry.i64Id);

        QVERIFY(QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 90000));
        // Both additions landed, the drop's first, its file in the mirrored folder. (The
        // uploads, slowed down as well, cannot have moved a record to the converted list yet.)
        const std::vector<std::string> idx = w.CourseList()->List()->Indexes();
        QCOMPARE(idx.size(), size_t(2));
        const _sLCItemData* first = w.CourseList()->List()->Find(idx[0]);
        const _sLCItemData* second = w.CourseList()->List()->Find(idx[1]);
        QVERIFY(first && second);
        QCOMPARE(QString::fromStdString(first->strFilePath), QString::fromStdString(top + "/inner.pdf"));
        QCOMPARE(QString::fromStdString(second->strFilePath), QString::fromStdString(loose));
        const SpaceTreeItem* made = ChildFolder(space, root, "slow tree");
        QVERIFY(made);
        QCOMPARE(first->i64DirId, made->entry.i64Id);
        QCOMPARE(second->i64DirId, root);
        QVERIFY(env.sim.SetFault("delay", "0"));
        // The space figures were read off the window's thread too.
        QVERIFY(w.Pipeline().Quota().i64Total > 0);
    }

    void signingOutAmidADropsStepsLeavesItWholeForTheNextSession()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        const std::string top = env.dir.File("big course");
        QVERIFY(MakeDirs(top + "/part"));
        std::set<std::string> dropped;
        for (int i = 0; i < 24; ++i) {
            const std::string path = top + (i % 2 ? "/part/" : "/") + std::to_string(i) + ".pdf";
            QVERIFY(WriteFile(path, "%PDF-1.4\n%%EOF\n"));
            dropped.insert(path);
        }
        // A record per turn of the loop; the user signs out as soon as the first is listed.
        w.Intake().SetFinishChunk(1);
        bool signedOut = false;
        CLCListModel* model = w.CourseList()->List();
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &w, [&] {
            if (!signedOut) {
                signedOut = true;
                QTimer::singleShot(0, &w, [&] { w.SignOut(false); });
            }
        });
        QVERIFY(Drop(w, {top}));
        QVERIFY(QTest::qWaitFor([&] { return signedOut && !w.isVisible(); }, 60000));
        QVERIFY(!w.IsAddingFiles());
        QCOMPARE(int(w.CourseList()->List()->Count()), 0);
        delete w.Login();

        // The next session has the whole drop, each file once.
        QVERIFY(SignIn(env));
        std::multiset<std::string> restored;
        for (const std::string& idx : w.CourseList()->List()->Indexes())
            restored.insert(w.CourseList()->List()->Find(idx)->strFilePath);
        for (const std::string& idx : w.DoneList()->List()->Indexes())
            restored.insert(w.DoneList()->List()->Find(idx)->strFilePath);
        QCOMPARE(restored.size(), dropped.size());
        QVERIFY(std::set<std::string>(restored.begin(), restored.end()) == dropped);
    }

    void closingWithTheExitOptionAsksWhileConverting()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        // A clip long enough to be converting when the window closes.
        const std::string clip = env.dir.File("long lecture.mp4");
        QVERIFY(MakeClip(clip, "640x480", 240));
        QVERIFY(AddAndWait(w, clip));
        QVERIFY(QTest::qWaitFor(
            [&] { return w.Pipeline().ConvertMgr() && w.Pipeline().ConvertMgr()->BusyCount() > 0; }, 120000));

        _sSetData o = env.config->m_setData;
        o.nUinfo |= kOptExitApp;
        env.config->SetUserOptions(o);
        int answer = 0;
        QStringList questions;
        w.SetMessageBoxHook([&](const QString& text, int type) {
            if (type == MB_QUESTION)
                questions << text;
            return answer;
        });

        // "No": the window stays and the conversion goes on.
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_COMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QStringLiteral("1")), qPrintable(questions[0]));
        QTest::qWait(200);
        QCOMPARE(env.quits, 0);
        QVERIFY(w.isVisible());
        QVERIFY(w.Pipeline().ConvertMgr()->BusyCount() > 0);

        // "Yes": the program ends and the conversion is stopped.
        answer = 1;
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_COMPARE(env.quits, 1);
        QCOMPARE(questions.size(), 2);
        QVERIFY(!w.Pipeline().ConvertMgr() || w.Pipeline().ConvertMgr()->BusyCount() == 0);
    }

    void theSettingsShutDownOptionRunsTheConfiguredCommand()
    {
        // The shut-down command comes from the configuration: here a recorder of its arguments.
        CTempDir tools;
        const std::string recorder = tools.File("power off.sh"), out = tools.File("ran.txt");
        QVERIFY(WriteFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out + "'\n"));
        QVERIFY(QFile::setPermissions(QString::fromStdString(recorder),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // A value enclosed in quotes loses that pair when read: the command is wrapped in one more.
        MainEnv env(true, "[power]\nShutdownCommand=\"\"" + recorder + "\" --now \"in a minute\"\"\n");
        QCOMPARE(QString::fromStdString(env.config->m_strShutdownCommand),
                 QString::fromStdString("\"" + recorder + "\" --now \"in a minute\""));
        OpenLogs();
        CMainWnd& w = *env.wnd;
        QVERIFY(SignInAtRoot(env));
        const std::string clip = env.dir.File("lesson.mp4");
        QVERIFY(MakeClip(clip, "320x240", 20));
        QVERIFY(AddAndWait(w, clip));

        // While the clip is on its way, the settings window's "shut down when all is uploaded".
        env.loop.PostMsg(w.Target(), WM_WINDOW_COMMAND, 0);
        CSetDataWnd* settings = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] { return (settings = w.findChild<CSetDataWnd*>()) && settings->isVisible(); }, 10000));
        QVERIFY(vx::test::ClickControl(settings, QStringLiteral("autopoweroff")));
        QVERIFY(vx::test::ClickControl(settings, QStringLiteral("okbtn")));
        QVERIFY(
            QTest::qWaitFor([&] { return (env.config->m_setData.nUinfo & kOptAutoShutdown) != 0; }, 10000));
        QVERIFY(w.Pipeline().IsCourseWorking());

        // Everything uploaded: the countdown offers the shut-down; "now" runs the configured command.
        CAutoShutDownWnd* countdown = nullptr;
        QVERIFY2(QTest::qWaitFor([&] { return (countdown = w.findChild<CAutoShutDownWnd*>()) != nullptr; },
                                 240000),
                 qPrintable(QString::fromStdString(ReadFile(GetDataFolder() + "Log/log.txt")).right(2000)));
        QCOMPARE(w.DoneList()->List()->Count(), size_t(1));
        QVERIFY(vx::test::ClickControl(countdown, QStringLiteral("Autoshutdown")));
        QVERIFY(QTest::qWaitFor([&] { return FileExists(out); }, 10000));
        QCOMPARE(QString::fromStdString(ReadFile(out)), QStringLiteral("--now\nin a minute\n"));
        QTRY_COMPARE(env.quits, 1); // and the program ends
    }

    void theWindowAndARunWorkTheQueueOneAtATime()
    {
        MainEnv env(true);
        OpenLogs();
        CMainWnd& w = *env.wnd;
        const std::string folder = env.dir.File("queue"), clip = folder + "/clip.mp4";
        QVERIFY(MakeDirs(folder));
        QVERIFY(MakeClip(clip, "640x360", 15));
        const std::string pdf = env.dir.File("later/notes.pdf");
        QVERIFY(MakeDirs(env.dir.File("later")));
        QVERIFY(WriteFile(pdf, "%PDF-1.4\n" + std::string(5000, 'n')));
        CSession session(*env.config);
        QVERIFY(session.Login({CSimProcess::DemoUser(), CSimProcess::DemoPassword(), false, false}) &&
                session.PermissionGranted());
        _sSetData options;
        options.strConvertPath = env.dir.File("converted");
        options.nUinfo |= kOptStartSetDone;
        QVERIFY(env.db->UpDateSetData(options, env.config->m_i64UserId));
        // The companion on the window's database.
        auto startRun = [&](QProcess& p, const QStringList& args) {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert(QStringLiteral("VEXORA_DATA_DIR"), QString::fromStdString(env.dir.Path()));
            e.insert(QStringLiteral("VEXORA_CONFIG"), QString::fromStdString(env.config->ConfigPath()));
            e.insert(QStringLiteral("VEXORA_USER"), QString::fromStdString(CSimProcess::DemoUser()));
            e.insert(QStringLiteral("VEXORA_PASSWORD"), QString::fromStdString(CSimProcess::DemoPassword()));
            p.setProcessEnvironment(e);
            p.start(QString::fromStdString(BinDir() + "vexora"), QStringList{QStringLiteral("run")} + args);
            return p.waitForStarted(10000);
        };
        auto stored = [&](int status) {
            std::vector<_sLCItemData> rows;
            env.db->GetCourseFile(env.config->m_i64UserId, &rows);
            for (const _sLCItemData& r : rows)
                if (r.nStatus == status)
                    return true;
            return false;
        };

        // A run works the queue when the window signs in: the window waits, and says for whom.
        QProcess run;
        QVERIFY(startRun(
            run, {QStringLiteral("--test-ms"), QStringLiteral("300"), QString::fromStdString(folder)}));
        QVERIFY(QTest::qWaitFor([&] { return stored(CS_CONVERTING); }, 120000));
        env.loop.PostMsg(w.Target(), WM_FILESERVER_LIST);
        QVERIFY(QTest::qWaitFor(
            [&] { return env.boxes.join(QLatin1Char('|')).contains(QStringLiteral("vexora run (pid")); },
            30000));
        QVERIFY(!w.Pipeline().IsSessionRunning());
        QCOMPARE(int(w.CourseList()->List()->Count()), 0);
        VX_SCREENSHOT(&w, "session-queue-held");

        // The run ends; the window takes the queue and lists what the run did.
        QVERIFY(QTest::qWaitFor([&] { return run.state() == QProcess::NotRunning; }, 240000));
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
        QVERIFY(QTest::qWaitFor([&] { return w.Pipeline().IsSessionRunning(); }, 30000));
        QCOMPARE(int(w.DoneList()->List()->Count()), 1);
        QCOMPARE(w.DoneList()->List()->Find(w.DoneList()->List()->Indexes()[0])->nStatus, CS_UPLOADED);

        // Now the window works it: a run adding a document leaves it to the window, which takes it
        // up and uploads it.
        QProcess adding;
        QVERIFY(startRun(adding,
                         {QStringLiteral("--test-ms"), QStringLiteral("300"), QString::fromStdString(pdf)}));
        QVERIFY(QTest::qWaitFor([&] { return adding.state() == QProcess::NotRunning; }, 120000));
        const QString said = QString::fromUtf8(adding.readAllStandardError());
        QCOMPARE(adding.exitCode(), 1);
        QVERIFY2(said.contains(QStringLiteral("which VexoraV2 (pid")), qPrintable(said));
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (w.DoneList()->List()->Count() != 2)
                    return false;
                for (const std::string& idx : w.DoneList()->List()->Indexes())
                    if (w.DoneList()->List()->Find(idx)->nStatus != CS_UPLOADED)
                        return false;
                return true;
            },
            120000));
        // Each once on the server (a second upload would land under another name): the document
        // in the root folder, the clip in the folder mirrored from its own.
        CSpaceApi api(*env.config);
        auto entriesIn = [&](int64_t folder) {
            std::vector<SpaceEntry> entries;
            std::string err;
            api.RequestForDirList(folder, true, &entries, &err);
            std::multimap<std::string, int64_t> byName;
            for (const SpaceEntry& e : entries)
                byName.emplace(e.strName, e.i64Id);
            return byName;
        };
        auto top = entriesIn(w.Space().Tree().RootIdOf(env.config->m_i64UserId));
        QCOMPARE(int(top.count("notes.pdf")), 1);
        QCOMPARE(int(top.count("queue")), 1);
        QCOMPARE(int(entriesIn(top.find("queue")->second).size()), 1);
        QCOMPARE(int(top.size()), 3); // with the demo account's own "Lessons"
    }

    void aSecondProgramRaisesTheFirstAndEnds()
    {
        MainEnv env;
        // This test plays the first instance: it holds the lock and answers on the socket.
        CSingleInstance first(GetDataFolder() + "VexoraV2.lock");
        QVERIFY(!first.IsAnotherInstanceRunning());
        const std::string ini = env.dir.File("Config.ini");
        auto runSecond = [&](QString* err) -> int {
            QProcess second;
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert(QStringLiteral("VEXORA_CONFIG"), QString::fromStdString(ini));
            second.setProcessEnvironment(e);
            second.start(QString::fromStdString(BinDir() + "VexoraV2"), {});
            if (!second.waitForStarted(10000))
                return -1;
            // The loop of this process must run while the second one asks.
            if (!QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 60000))
                return -2;
            *err = QString::fromUtf8(second.readAllStandardError());
            return second.exitCode();
        };

        // Nobody answers: the user is told, and the second program ends.
        QString err;
        QCOMPARE(runSecond(&err), 0);
        QVERIFY2(err.contains(QStringLiteral("Vexora已经运行！")), qPrintable(err));
        QVERIFY(
            ReadFile(GetDataFolder() + "Log/log.txt").find("AppMutex is exits! but conn't found window!") !=
            std::string::npos);

        int raised = 0;
        CInstanceServer server([&] {
            ++raised;
            return true;
        });
        QVERIFY(server.Listen());
        QCOMPARE(runSecond(&err), 0);
        QCOMPARE(raised, 1);
        QVERIFY2(!err.contains(QStringLiteral("Vexora已经运行！")), qPrintable(err));
    }

private:
    static QWidget* Child(QWidget& w, const char* name)
    {
        return w.findChild<QWidget*>(QString::fromLatin1(name));
    }
    CShellRecorder m_shell;
};

VX_REGISTER_QTEST(MainSessionTest);

#include "MainSessionTest.moc"
