// The settings windows with real clicks and keys (offscreen) and a real database file: only
// the pages that were opened are saved, the 3036 bits, how the closing choice loads, the
// refusals with their texts (also for pasted text), a save the database refuses, the start-up
// window that cannot be left without a size, the shut-down countdown with a recorder, and the
// about window.

#include "account/AccountMessages.h"
#include "app/Utils.h"
#include "common/MessageRecorder.h"
#include "common/ShellRecorder.h"
#include "common/TestRegistry.h"
#include "common/TestUtil.h"
#include "common/UiTestUtil.h"
#include "platform/Paths.h"
#include "ui/DesktopShell.h"
#include "ui/LoopBridge.h"
#include "ui/UiApplication.h"
#include "ui/VXCheckBox.h"
#include "ui/VXComboEx.h"
#include "ui/VXOptionEx.h"
#include "ui/settings/AutoShutDownWnd.h"
#include "ui/settings/SetDataWnd.h"
#include "ui/settings/StartSetWnd.h"
#include "ui/settings/VXAboutWnd.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>
#include <sqlite3.h>

using namespace vx;

namespace {

using CMainRecorder = vx::test::CMessageRecorder;

struct Env
{
    vx::test::CTempDir dir;
    CMessageLoop loop;
    CQtLoopBridge bridge{loop};
    CMainRecorder main{loop};
    std::string dbPath;
    std::unique_ptr<CLocalDb> db;
    std::unique_ptr<CAppConfig> config;

    explicit Env(int uinfo = 0x100)
    {
        MakeDirs(dir.File("Language"));
        vx::test::WriteFile(
            dir.File("Language/SimpleChinese"),
            vx::test::ReadFile(std::string(VX_SOURCE_DIR) + "/resources/Language/SimpleChinese"));
        vx::test::WriteFile(dir.File("Config.ini"), "[convert]\nCodecOption=1\n");
        config = std::make_unique<CAppConfig>(dir.File("Config.ini"));
        config->m_i64UserId = 7;
        config->m_nCpuCount = 6;
        dbPath = dir.File("DB/vexora_v2.0.db");
        db = std::make_unique<CLocalDb>(dbPath, DbOpenOptions{false, true, 200, "/proc/self/mounts"});
        MakeDirs(dir.File("out"));
        _sSetData d;
        d.nUinfo = uinfo;
        d.strConvertPath = dir.File("out");
        d.nConvertMax = 2;
        d.strTimeStamp = "lesson";
        db->UpDateSetData(d, 7);
        config->SetUserOptions(d);
    }
    _sSetData Stored()
    {
        _sSetData d;
        db->GetSetData(d, 7);
        return d;
    }
};

template <typename T> T* Child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

// Clicks button, answers the message box (ours or the system's) it opens and returns its text.
QString ClickAndAnswer(QWidget* w, const char* button)
{
    QString text;
    bool answered = false;
    vx::test::WhenModal([&](QWidget* modal) {
        if (auto* l = modal->findChild<QLabel*>(QStringLiteral("infor")))
            text = l->text();
        else if (auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text();
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->done(1);
        answered = true;
    });
    vx::test::ClickControl(w, QString::fromLatin1(button));
    if (!QTest::qWaitFor([&] { return answered; }, 8000))
        qWarning("no message box appeared");
    return text;
}

void ClickOption(QWidget* w, const char* name)
{
    QTest::mouseClick(Child<QWidget>(w, name), Qt::LeftButton);
    QApplication::processEvents();
}

} // namespace

class SettingsWndTest : public QObject
{
    Q_OBJECT

private slots:
    void pagesLoadOnFirstVisitAndOnlyThoseAreSaved()
    {
        Env env;
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        QCOMPARE(w.LoadedPages(), 1);
        QCOMPARE(Child<CVXOptionEx>(&w, "spaceopt")->GetText(), QStringLiteral("课程空间设置"));
        QVERIFY(!Child<QWidget>(&w, "CodecOption")->isHidden());
        VX_SCREENSHOT(&w, "settings-general");

        // OK straight away: nothing of the other pages is written, and nothing changed.
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_COMPARE(env.main.ids.size(), size_t(1));
        QCOMPARE(env.main.ids[0], WM_SET_INFO_DATA);
        QCOMPARE(env.main.params[0], uint64_t(0));
        QVERIFY(!w.isVisible());
        QCOMPARE(env.Stored().strTimeStamp, std::string("lesson"));
        QCOMPARE(env.Stored().nConvertMax, 2);
    }

    void theBitsSayWhichGroupsChanged()
    {
        Env env;
        MakeDirs(env.dir.File("other"));
        {
            CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
            w.show();
            ClickOption(&w, "spaceopt");
            QCOMPARE(w.CurrentPage(), 2);
            VX_SCREENSHOT(&w, "settings-upload");
            auto* combo = Child<QComboBox>(&w, "uploadcomb");
            QCOMPARE(combo->currentIndex(), 1);
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);
            QCOMPARE(combo->currentIndex(), 2);
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
            QTRY_COMPARE(env.main.params.size(), size_t(1));
            QCOMPARE(env.main.params.back(), uint64_t(2));
            QCOMPARE(env.Stored().nUploadMax, 3);
        }
        {
            CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
            w.SetFolderPicker([&](QWidget*, const QString& title, const QString& start) {
                EXPECT_TITLE = title;
                EXPECT_START = start;
                return QString::fromStdString(env.dir.File("other"));
            });
            w.show();
            ClickOption(&w, "fileopt");
            VX_SCREENSHOT(&w, "settings-files");
            QCOMPARE(Child<QComboBox>(&w, "converNum")->count(), 6);
            QCOMPARE(Child<QComboBox>(&w, "converNum")->currentText(), QStringLiteral("2"));
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("chagnePath")));
            QCOMPARE(EXPECT_TITLE, QString::fromStdString(env.config->GetText(2206)));
            QCOMPARE(EXPECT_START, QString::fromStdString(env.dir.File("out")));
            QCOMPARE(Child<QLineEdit>(&w, "savepath")->text(), QString::fromStdString(env.dir.File("other")));
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
            QTRY_COMPARE(env.main.params.size(), size_t(2));
            QCOMPARE(env.main.params.back(), uint64_t(1));
        }
        {
            CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
            w.show();
            ClickOption(&w, "fileopt");
            ClickOption(&w, "spaceopt");
            auto* n = Child<QComboBox>(&w, "converNum");
            n->setFocus();
            QTest::keyClick(n, Qt::Key_Down);
            auto* u = Child<QComboBox>(&w, "uploadcomb");
            u->setFocus();
            QTest::keyClick(u, Qt::Key_Up);
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
            QTRY_COMPARE(env.main.params.size(), size_t(3));
            QCOMPARE(env.main.params.back(), uint64_t(3));
        }
    }

    void openShowsTheConversionFolderInTheFileManager()
    {
        Env env;
        vx::test::CShellRecorder shell;
        SetDesktop(&shell);
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        ClickOption(&w, "fileopt");
        // A folder that does not exist yet is made, then opened as a folder (not as a web page).
        const QString folder = QString::fromStdString(env.dir.File("转换 输出/第一周"));
        auto* path = Child<QLineEdit>(&w, "savepath");
        path->selectAll();
        vx::test::TypeText(path, folder);
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("openfilepath")));
        QCOMPARE(shell.folders, QStringList{folder});
        QVERIFY(shell.opened.isEmpty());
        QVERIFY(DirExists(folder.toStdString()));
        SetDesktop(nullptr);
    }

    void theClosingChoiceLoadsWithExitWinning()
    {
        Env env(0x04 | 0x100 | 0x02);
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        QVERIFY(Child<CVXCheckBox>(&w, "exitApp")->IsSelected());
        QVERIFY(!Child<CVXCheckBox>(&w, "showmin")->IsSelected());
        QVERIFY(Child<CVXCheckBox>(&w, "autopoweroff")->IsSelected());
        ClickOption(&w, "showmin");
        ClickOption(&w, "autopoweroff");
        // Enter does nothing here; Escape would close without saving.
        QTest::keyClick(&w, Qt::Key_Return);
        QVERIFY(w.isVisible());
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(env.Stored().nUinfo & (0x04 | 0x100 | 0x02), 0x100);

        Env none(0);
        CSetDataWnd w2(nullptr, none.main.Target(), *none.config, *none.db, none.loop);
        w2.show();
        QVERIFY(!Child<CVXCheckBox>(&w2, "exitApp")->IsSelected());
        QVERIFY(!Child<CVXCheckBox>(&w2, "showmin")->IsSelected());
        QTest::keyClick(&w2, Qt::Key_Escape);
        QTRY_VERIFY(!w2.isVisible());
        QVERIFY(none.main.ids.empty());
    }

    void refusalsShowTheirTextsAndTheWindowKeepsTheValues()
    {
        Env env;
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        ClickOption(&w, "fileopt");
        const _sSetData before = env.Stored();

        // Unknown sizes: a preset fills both edits read-only, the fourth lets the user type.
        ClickOption(&w, "uknowsize");
        QVERIFY(Child<QLineEdit>(&w, "uknowW")->isEnabled());
        ClickOption(&w, "unVideoSize2");
        QCOMPARE(Child<QLineEdit>(&w, "uknowW")->text(), QStringLiteral("800"));
        QCOMPARE(Child<QLineEdit>(&w, "uknowH")->text(), QStringLiteral("600"));
        QVERIFY(Child<QLineEdit>(&w, "uknowW")->isReadOnly());
        ClickOption(&w, "unVideoSize4");
        auto* width = Child<QLineEdit>(&w, "uknowW");
        QVERIFY(!width->isReadOnly());
        QTRY_VERIFY(width->hasFocus());
        width->selectAll();
        QTest::keyClicks(width, "0");
        VX_SCREENSHOT(&w, "settings-files-unknown-size");
        QCOMPARE(ClickAndAnswer(&w, "okbtn"), QString::fromStdString(env.config->GetText(2200)));
        QVERIFY(w.isVisible());
        width->selectAll();
        QTest::keyClicks(width, "640");

        // A folder that is not there: the system's box with 2204.
        auto* path = Child<QLineEdit>(&w, "savepath");
        path->selectAll();
        QTest::keyClicks(path, QString::fromStdString(env.dir.File("nowhere")));
        QCOMPARE(ClickAndAnswer(&w, "okbtn"), QString::fromStdString(env.config->GetText(2204)));
        path->selectAll();
        QTest::keyClicks(path, QString::fromStdString(env.dir.File("out")));

        // The suffix: typed forbidden characters never arrive, pasted ones are refused on OK.
        ClickOption(&w, "spaceopt");
        auto* suffix = Child<QLineEdit>(&w, "Cumstomstamp");
        suffix->setFocus();
        suffix->selectAll();
        QTest::keyClicks(suffix, QStringLiteral("a/b?c"));
        QCOMPARE(suffix->text(), QStringLiteral("abc"));
        suffix->selectAll();
        QTest::keyClick(suffix, Qt::Key_Delete);
        QCOMPARE(ClickAndAnswer(&w, "okbtn"), QString::fromStdString(env.config->GetText(2201)));
        QApplication::clipboard()->setText(QStringLiteral("第一课￥"));
        suffix->setFocus();
        QTest::keyClick(suffix, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(suffix->text(), QStringLiteral("第一课￥"));
        const QString text = ClickAndAnswer(&w, "okbtn");
        QVERIFY2(text.startsWith(QString::fromStdString(env.config->GetText(2202))), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("￥")));
        QVERIFY(w.isVisible());
        QCOMPARE(env.Stored(), before);
        QVERIFY(env.main.ids.empty());

        // The timestamp option makes the suffix read-only; then OK saves everything.
        ClickOption(&w, "timestamp");
        QVERIFY(suffix->isReadOnly());
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.isVisible());
        const _sSetData after = env.Stored();
        QCOMPARE(after.nUnkConvertWidth, 640);
        QCOMPARE(after.nUnkConvertHeight, 600);
        QCOMPARE(after.nUnkVideoConvertType, 3);
        QCOMPARE(after.nUinfo & 0x30, 0x30);
        QTRY_COMPARE(env.main.params.size(), size_t(1));
        QCOMPARE(env.main.params.back(), uint64_t(1));
    }

    void aSaveTheDatabaseRefusesIsShownAndTheWindowStays()
    {
        Env env;
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        ClickOption(&w, "spaceopt");
        auto* combo = Child<QComboBox>(&w, "uploadcomb");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);

        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(env.dbPath.c_str(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString text = ClickAndAnswer(&w, "okbtn");
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(text.contains(QString::fromStdString(env.dbPath)), qPrintable(text));
        QVERIFY(w.isVisible());
        QCOMPARE(combo->currentIndex(), 2);
        QVERIFY(env.main.ids.empty());
        QCOMPARE(env.config->m_setData.nUploadMax, 2);

        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(env.Stored().nUploadMax, 3);
    }

    void theStartUpWindowCannotBeLeftWithoutAnUnknownSize()
    {
        Env env;
        CStartSetWnd w(nullptr, *env.config, *env.db);
        w.show();
        QVERIFY(w.isModal());
        QVERIFY(!Child<QWidget>(&w, "unVideoSize1")->isEnabled());
        QCOMPARE(Child<QComboBox>(&w, "converNum")->currentText(), QStringLiteral("2"));
        VX_SCREENSHOT(&w, "startset");

        for (const char* way : {"okbtn", "canclebtn", "closebtn"}) {
            QVERIFY(vx::test::ClickControl(&w, QString::fromLatin1(way)));
            QApplication::processEvents();
            QVERIFY2(w.isVisible(), way);
        }
        QTest::keyClick(&w, Qt::Key_Escape);
        w.close();
        QApplication::processEvents();
        QVERIFY(w.isVisible());
        QVERIFY(w.SizeErrorShown());
        QCOMPARE(Child<QScrollArea>(&w, "VStartlayoot")->verticalScrollBar()->value(),
                 std::min(40, Child<QScrollArea>(&w, "VStartlayoot")->verticalScrollBar()->maximum()));
        VX_SCREENSHOT(&w, "startset-size-error");

        ClickOption(&w, "uknowsize");
        ClickOption(&w, "unVideoSize3");
        ClickOption(&w, "showaway");
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        const _sSetData s = env.Stored();
        QCOMPARE(s.nUinfo & 0x90, 0x90);
        QCOMPARE(s.nUnkConvertWidth, 1024);
        QCOMPARE(s.nUnkConvertHeight, 768);
    }

    void theCountdownRunsTheConfiguredCommandOnceAndCancelStopsIt()
    {
        Env env;
        std::vector<std::string> ran;
        auto recorder = [&](const std::string& cmd, std::string*) {
            ran.push_back(cmd);
            return true;
        };
        {
            CAutoShutDownWnd w(nullptr, env.main.Target(), "systemctl poweroff", recorder, env.loop, 1000);
            w.show();
            QCOMPARE(Child<QLabel>(&w, "infor")->text(), QStringLiteral("您的电脑将在 30 秒后进行关机"));
            QTRY_COMPARE_WITH_TIMEOUT(Child<QLabel>(&w, "infor")->text(),
                                      QStringLiteral("您的电脑将在 29 秒后进行关机"), 3000);
            VX_SCREENSHOT(&w, "autoshutdown");
            QTest::keyClick(&w, Qt::Key_Escape); // swallowed
            QVERIFY(w.isVisible());
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("canclebtn")));
            QTRY_VERIFY(!w.isVisible());
            QTest::qWait(300);
            QVERIFY(ran.empty());
        }
        {
            CAutoShutDownWnd w(nullptr, env.main.Target(), "systemctl poweroff", recorder, env.loop, 10);
            w.show();
            QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
            QCOMPARE(w.result(), CAutoShutDownWnd::kResultShutDown);
            QTRY_COMPARE(env.main.ids.size(), size_t(1));
            QCOMPARE(env.main.ids[0], WM_CLOSE);
            QCOMPARE(ran, std::vector<std::string>{"systemctl poweroff"});
        }
        {
            // The command fails: the user is told and the program goes on.
            CAutoShutDownWnd w(nullptr, env.main.Target(), "/nonexistent/poweroff", RunShutdownCommand,
                               env.loop, 1000);
            w.show();
            QString text;
            bool answered = false;
            vx::test::WhenModal([&](QWidget* modal) {
                text = modal->findChild<QLabel*>(QStringLiteral("infor"))->text();
                VX_SCREENSHOT(modal, "autoshutdown-failed");
                qobject_cast<QDialog*>(modal)->done(1);
                answered = true;
            });
            QVERIFY(vx::test::ClickControl(&w, QStringLiteral("Autoshutdown")));
            QTRY_VERIFY(answered);
            QVERIFY2(text.contains(QStringLiteral("/nonexistent/poweroff")), qPrintable(text));
            QTRY_VERIFY(!w.isVisible());
            QTest::qWait(100);
            QCOMPARE(env.main.ids.size(), size_t(1)); // no second WM_CLOSE
        }
    }

    void theSettingsWindowsWorkByKeyboardAlone()
    {
        Env env;
        CSetDataWnd w(nullptr, env.main.Target(), *env.config, *env.db, env.loop);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto key = [&w](Qt::Key k) { QTest::keyClick(w.focusWidget(), k); };
        // Focus starts on the first page tab; the arrows walk the tabs and show their pages.
        QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("normalopt"));
        key(Qt::Key_Down);
        QCOMPARE(w.CurrentPage(), 1);
        key(Qt::Key_Down);
        QCOMPARE(w.CurrentPage(), 2);
        key(Qt::Key_Up);
        QCOMPARE(w.CurrentPage(), 1);
        QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("fileopt"));
        // Space ticks a box; the icon buttons have names a screen reader can say.
        Child<QWidget>(&w, "autodelete")->setFocus();
        const bool was = Child<CVXCheckBox>(&w, "autodelete")->IsSelected();
        key(Qt::Key_Space);
        QCOMPARE(Child<CVXCheckBox>(&w, "autodelete")->IsSelected(), !was);
        QCOMPARE(Child<QWidget>(&w, "closebtn")->accessibleName(), QStringLiteral("关闭"));
        QVERIFY(!Child<QWidget>(&w, "helpbtn")->accessibleName().isEmpty());
        key(Qt::Key_Escape);
        QCOMPARE(w.result(), int(CVxDialog::kResultClose));

        // The start-up window: focus on its first field; Space on the unknown-size box opens
        // the sizes to the keyboard.
        CStartSetWnd s(nullptr, *env.config, *env.db);
        s.show();
        QCOMPARE(s.focusWidget()->objectName(), QStringLiteral("converNum"));
        Child<QWidget>(&s, "uknowsize")->setFocus();
        QTest::keyClick(s.focusWidget(), Qt::Key_Space);
        QVERIFY(Child<QWidget>(&s, "unVideoSize1")->isEnabled());
        s.Dismiss();
    }

    void theAboutWindowShowsTheVersion()
    {
        CVXAboutWnd w(nullptr);
        w.show();
        const QString text = Child<QLabel>(&w, "VxverInfo")->text();
        QVERIFY2(text.startsWith(QStringLiteral("版本号：") + QString::fromStdString(GetAppVersion()) +
                                 QStringLiteral(" (")),
                 qPrintable(text));
        VX_SCREENSHOT(&w, "about");
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("okbtn")));
        QTRY_VERIFY(!w.isVisible());
    }

private:
    QString EXPECT_TITLE, EXPECT_START;
};

VX_REGISTER_QTEST(SettingsWndTest);

#include "SettingsWndTest.moc"
