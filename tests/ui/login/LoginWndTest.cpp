// The login window with real clicks and keys (offscreen), a real database file and the
// platform simulator: the remembered accounts, the two boxes, the automatic login only at
// start-up, the error panel in its two kinds, Enter and Escape, and a window that keeps
// answering while the platform is slow or gone.

#include "ui/login/LoginWnd.h"
#include "account/AccountMessages.h"
#include "common/MessageRecorder.h"
#include "common/ShellRecorder.h"
#include "common/SimHarness.h"
#include "common/UiTestUtil.h"
#include "net/Session.h"
#include "ui/DesktopShell.h"
#include "ui/LoopBridge.h"
#include "ui/UiApplication.h"
#include "ui/VXsiComboUI.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vx;
using vx::test::CShellRecorder;
using vx::test::CSimProcess;

namespace {

using CMainRecorder = vx::test::CMessageRecorder;

// Everything one window needs: its own loop driven by Qt, a main-window recorder, a database.
struct Env
{
    vx::test::CTempDir dir;
    CMessageLoop loop;
    CQtLoopBridge bridge{loop};
    CMainRecorder main{loop};
    std::unique_ptr<CLocalDb> db;
    std::unique_ptr<CAccountStore> store;
    std::unique_ptr<CAppConfig> config;
    CSimProcess sim;

    explicit Env(const std::vector<std::string>* simArgs = nullptr)
    {
        db = std::make_unique<CLocalDb>(dir.File("DB/vexora_v2.0.db"));
        store = std::make_unique<CAccountStore>(*db, nullptr);
        std::string ini = dir.File("Config.ini");
        if (simArgs && sim.Start(*simArgs))
            ini = sim.WriteConfig(dir.Path());
        else
            vx::test::WriteFile(ini, "[server]\nHostIP=127.0.0.1:1\n");
        config = std::make_unique<CAppConfig>(ini);
    }
    void Remember(const std::string& name, const std::string& password, bool autoLogin)
    {
        _sUserAccount a;
        a.strUserName = name;
        a.strPassword = CSession::PasswordHash(password);
        a.bRememberPsw = !password.empty();
        a.bAutoLogin = autoLogin;
        a.i64UserId = static_cast<int64_t>(name.size());
        store->Save(a);
    }
    std::unique_ptr<CLoginWnd> Open(bool autoLoginAllowed)
    {
        auto w =
            std::make_unique<CLoginWnd>(nullptr, main.Target(), *config, store.get(), autoLoginAllowed, loop);
        HttpTimeouts t;
        t.connectMs = 1000;
        t.recvWaitMs = 1000;
        t.recvWaitTries = 2;
        t.recvTimeoutMs = 3000;
        w->Controller().SetTimeouts(t);
        w->show();
        QApplication::processEvents();
        return w;
    }
};

template <typename T> T* Child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

void Type(QWidget* w, const char* name, const QString& text)
{
    auto* e = Child<QLineEdit>(w, name);
    e->setFocus();
    QTest::keyClicks(e, text);
}

bool WaitIdle(CLoginWnd& w, int ms = 20000)
{
    return QTest::qWaitFor([&] { return !w.Controller().View().busy; }, ms);
}

// Opens the account list by a click on the arrow at the free end of the row, where the combo is
// not covered by the edit, and returns the list.
QAbstractItemView* OpenList(CLoginWnd& w)
{
    auto* combo = Child<CVXsiComboUI>(&w, "AccountCombo");
    QTest::mouseClick(combo, Qt::LeftButton, Qt::NoModifier,
                      QPoint(combo->width() - 15, combo->height() / 2));
    QApplication::processEvents();
    return combo->DropDown() ? combo->view() : nullptr;
}

// A real click on row of the open list: on its text, or on its delete icon.
void ClickRow(QAbstractItemView* list, int row, bool onDeleteIcon = false)
{
    const QRect r = list->visualRect(list->model()->index(row, 0));
    const QPoint at = onDeleteIcon ? CVXsiComboUI::DeleteIconRect(r).center() : r.topLeft() + QPoint(10, 10);
    QTest::mouseMove(list->viewport(), at);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QString FocusName()
{
    QWidget* f = QApplication::focusWidget();
    return f ? f->objectName() : QStringLiteral("(none)");
}

// Presses Tab (or Shift+Tab) on whatever has the focus and returns the name of what has it next.
QString TabOnce(bool back = false)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
    return FocusName();
}

QString AccessibleName(QWidget* w)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// What one row of the open list looks like: its background (a pixel of its left padding and
// one just left of the delete icon's place), and whether dark text lies in its first 10 pixels.
struct RowLook
{
    QString left, right;
    bool textInPadding = false;
    bool darkText = false;
};

RowLook LookOfRow(QAbstractItemView* list, int row)
{
    const QImage image = list->viewport()->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const QRect r = list->visualRect(list->model()->index(row, 0));
    auto at = [&](int x, int y) { return image.pixelColor(int((x + 0.5) * dpr), int((y + 0.5) * dpr)); };
    RowLook look;
    look.left = at(r.left() + 2, r.top() + 2).name();
    look.right = at(CVXsiComboUI::DeleteIconRect(r).left() - 2, r.top() + 2).name();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x < r.left() + 60; ++x) {
            const QColor c = at(x, y);
            // The text colour #333333, or its anti-aliased edge: dark and grey, not blue.
            const bool dark = c.value() < 0x70 && std::abs(c.red() - c.blue()) < 0x20;
            look.darkText |= dark;
            look.textInPadding |= dark && x < r.left() + 10;
        }
    return look;
}

} // namespace

class LoginWndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SetDesktop(&m_shell); }
    void cleanupTestCase() { SetDesktop(nullptr); }

    void noRememberedAccountLeavesTheFieldsEmptyAndArmsNoTimer()
    {
        Env env;
        auto w = env.Open(true);
        QCOMPARE(Child<CVXsiComboUI>(w.get(), "AccountCombo")->GetCount(), 0);
        QCOMPARE(Child<QLineEdit>(w.get(), "usernameEdit")->text(), QString());
        QCOMPARE(Child<QLineEdit>(w.get(), "passwordEdit")->text(), QString());
        QVERIFY(!w->Controller().AutoLoginArmed());
        VX_SCREENSHOT(w.get(), "login-empty");
    }

    void theFieldsFollowTheListTheBoxesAndDeletions()
    {
        Env env;
        env.Remember("zhang", "", false);
        env.Remember("li", "pw-li", false);
        env.Remember("wang", "pw-wang", true);
        auto w = env.Open(false);
        auto* user = Child<QLineEdit>(w.get(), "usernameEdit");
        auto* pass = Child<QLineEdit>(w.get(), "passwordEdit");
        auto* remPass = Child<QCheckBox>(w.get(), "remPass");
        auto* autoLog = Child<QCheckBox>(w.get(), "autoLog");
        QCOMPARE(user->text(), QStringLiteral("wang"));
        QCOMPARE(pass->text(), QString::fromStdString(CSession::PasswordHash("pw-wang")));
        QVERIFY(remPass->isChecked() && autoLog->isChecked());
        QVERIFY(!w->Controller().AutoLoginArmed()); // opened after an account switch
        VX_SCREENSHOT(w.get(), "login-remembered");

        // Pick "li" from the list: its hash, and its boxes.
        QAbstractItemView* list = OpenList(*w);
        QVERIFY(list);
        QCOMPARE(list->model()->rowCount(), 3);
        QCOMPARE(list->model()->index(1, 0).data().toString(), QStringLiteral("li"));
        VX_SCREENSHOT(Child<CVXsiComboUI>(w.get(), "AccountCombo")->DropDown(), "login-account-list");
        ClickRow(list, 1);
        QTRY_COMPARE(user->text(), QStringLiteral("li"));
        QCOMPARE(pass->text(), QString::fromStdString(CSession::PasswordHash("pw-li")));
        QVERIFY(remPass->isChecked());
        QVERIFY(!autoLog->isChecked());

        // Typing into the name drops the selection and the password.
        Type(w.get(), "usernameEdit", "x");
        QTRY_COMPARE(pass->text(), QString());
        QCOMPARE(Child<CVXsiComboUI>(w.get(), "AccountCombo")->GetCurSel(), -1);

        // The boxes: checking autoLog checks remPass; unchecking remPass unchecks autoLog; the
        // reverse actions leave the other alone.
        QTest::mouseClick(remPass, Qt::LeftButton);
        QTRY_VERIFY(!remPass->isChecked());
        QTest::mouseClick(autoLog, Qt::LeftButton);
        QTRY_VERIFY(autoLog->isChecked() && remPass->isChecked());
        QTest::mouseClick(autoLog, Qt::LeftButton);
        QTRY_VERIFY(!autoLog->isChecked());
        QVERIFY(remPass->isChecked());
        QTest::mouseClick(autoLog, Qt::LeftButton);
        QTest::mouseClick(remPass, Qt::LeftButton);
        QTRY_VERIFY(!remPass->isChecked() && !autoLog->isChecked());

        // Deleting another account leaves the fields; deleting the shown one empties both.
        ClickRow(OpenList(*w), 0); // wang
        QTRY_COMPARE(user->text(), QStringLiteral("wang"));
        ClickRow(OpenList(*w), 2, true);
        QTRY_COMPARE(Child<CVXsiComboUI>(w.get(), "AccountCombo")->GetCount(), 2);
        QCOMPARE(user->text(), QStringLiteral("wang"));
        ClickRow(OpenList(*w), 0, true);
        QTRY_COMPARE(Child<CVXsiComboUI>(w.get(), "AccountCombo")->GetCount(), 1);
        QCOMPARE(user->text(), QString());
        QCOMPARE(pass->text(), QString());
        std::vector<_sUserAccount> left;
        QVERIFY(env.store->Load(&left));
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(QString::fromStdString(left[0].strUserName), QStringLiteral("li"));

        // By keys: Down in the account field opens the list, Down and Enter choose, Delete forgets.
        auto* combo = Child<CVXsiComboUI>(w.get(), "AccountCombo");
        user->setFocus();
        QTest::keyClick(user, Qt::Key_Down);
        QVERIFY(combo->DropDown());
        if (combo->view()->currentIndex().row() != 0)
            QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        QTRY_COMPARE(user->text(), QStringLiteral("li"));
        QCOMPARE(pass->text(), QString::fromStdString(CSession::PasswordHash("pw-li")));
        QVERIFY(w->isVisible()); // Enter in the list chooses; it does not log in
        QTest::keyClick(user, Qt::Key_F4);
        QVERIFY(combo->DropDown());
        QTest::keyClick(combo->view(), Qt::Key_Delete);
        QTRY_COMPARE(combo->GetCount(), 0);
        QCOMPARE(user->text(), QString());
        left.clear();
        QVERIFY(env.store->Load(&left));
        QVERIFY(left.empty());

        // Escape does not close the window.
        QTest::keyClick(user, Qt::Key_Escape);
        QApplication::processEvents();
        QVERIFY(w->isVisible());
    }

    // The list's rows in the stylesheet's colours: the highlighted row #CCE4F7, the row under
    // the pointer #E5F1FB (its delete icon on the same colour), the others white; dark text
    // 10 pixels in.
    void theAccountListRowsTakeTheStylesheetsColours()
    {
        Env env;
        env.Remember("zhang", "", false);
        env.Remember("li", "pw-li", false);
        env.Remember("wang", "pw-wang", false);
        auto w = env.Open(false);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QAbstractItemView* list = OpenList(*w);
        QVERIFY(list);
        QCOMPARE(list->currentIndex().row(), 0); // the shown account is highlighted

        // The highlight follows the pointer to the last row; the keys bring it back to the
        // first while the pointer stays.
        const QRect last = list->visualRect(list->model()->index(2, 0));
        QTest::mouseMove(list->viewport(), last.topLeft() + QPoint(40, 10));
        QTRY_COMPARE(list->currentIndex().row(), 2);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QTRY_COMPARE(list->currentIndex().row(), 0);
        const RowLook highlighted = LookOfRow(list, 0), plain = LookOfRow(list, 1),
                      hovered = LookOfRow(list, 2);
        VX_SCREENSHOT(Child<CVXsiComboUI>(w.get(), "AccountCombo")->DropDown(), "login-account-list-colours");
        QCOMPARE(highlighted.left, QStringLiteral("#cce4f7"));
        QCOMPARE(highlighted.right, QStringLiteral("#cce4f7"));
        QCOMPARE(plain.left, QStringLiteral("#ffffff"));
        QCOMPARE(plain.right, QStringLiteral("#ffffff"));
        QCOMPARE(hovered.left, QStringLiteral("#e5f1fb"));
        QCOMPARE(hovered.right, QStringLiteral("#e5f1fb"));
        for (const RowLook& row : {highlighted, plain, hovered}) {
            QVERIFY(row.darkText);
            QVERIFY(!row.textInPadding);
        }
        QTest::keyClick(list, Qt::Key_Escape);
        QTRY_VERIFY(!Child<CVXsiComboUI>(w.get(), "AccountCombo")->DropDown());
    }

    // The account combo alone: the drop-down's height rule, choosing by mouse and keys, Escape,
    // the delete icon and Delete that remove without choosing, and the partner's border.
    void theAccountComboChoosesAndForgetsByMouseAndKeys()
    {
        QWidget host;
        host.setObjectName(QStringLiteral("LoginWnd"));
        host.resize(320, 400);
        auto* combo = new CVXsiComboUI(&host);
        combo->setObjectName(QStringLiteral("AccountCombo"));
        combo->setGeometry(10, 10, 300, 33);
        combo->SetShowDeleteIcon(true);
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QList<QPair<int, int>> selected;
        QList<int> clicked, deleted;
        connect(combo, &CVXsiComboUI::ItemSelected, &host, [&](int i, int p) { selected.append({i, p}); });
        connect(combo, &CVXsiComboUI::ItemClicked, &host, [&](int i) { clicked.append(i); });
        connect(combo, &CVXsiComboUI::ItemDeleteRequested, &host, [&](int i) { deleted.append(i); });

        for (int i = 0; i < 3; ++i)
            combo->AddItem(QStringLiteral("账号%1").arg(i));
        QCOMPARE(combo->GetCurSel(), -1); // adding chooses nothing
        QVERIFY(combo->SelectItem(0));
        QVERIFY(combo->Activate());
        QVERIFY(combo->DropDown());
        // Every row whole, inside a frame of at least 4 pixels.
        QCOMPARE(combo->view()->viewport()->height(), 3 * CVXsiComboUI::kItemHeight);
        QVERIFY(combo->DropDown()->height() >= 3 * CVXsiComboUI::kItemHeight + 4);
        QVERIFY(combo->DropDown()->geometry().top() >= combo->mapToGlobal(QPoint(0, combo->height())).y());
        // Arrows move the highlight, Enter chooses; the change is reported with the previous index.
        QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        QTRY_VERIFY(!combo->DropDown());
        QCOMPARE(combo->GetCurSel(), 1);
        QCOMPARE(selected, (QList<QPair<int, int>>{{0, -1}, {1, 0}}));
        // Escape leaves the account that was current.
        combo->Activate();
        QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Escape);
        QTRY_VERIFY(!combo->DropDown());
        QCOMPARE(combo->GetCurSel(), 1);

        // The delete icon of a row: reported from the queue, the list closes, nothing is chosen.
        combo->Activate();
        QAbstractItemView* list = combo->view();
        const QRect row2 = list->visualRect(list->model()->index(2, 0));
        QCOMPARE(row2.height(), CVXsiComboUI::kItemHeight);
        QTest::mouseMove(list->viewport(), row2.center());
        VX_SCREENSHOT(combo->DropDown(), "combo-delete-icon");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          CVXsiComboUI::DeleteIconRect(row2).center());
        QCOMPARE(clicked, QList<int>{2});
        QVERIFY(deleted.isEmpty());
        QTRY_COMPARE(deleted, QList<int>{2});
        QVERIFY(!combo->DropDown());
        QCOMPARE(combo->GetCurSel(), 1);
        QCOMPARE(selected.size(), 2);
        // Delete on the highlighted row does the same by keys.
        combo->Activate();
        QTest::keyClick(combo->view(), Qt::Key_Up);
        QTest::keyClick(combo->view(), Qt::Key_Delete, Qt::ShiftModifier);
        QTRY_COMPARE(deleted, (QList<int>{2, 0}));
        QVERIFY(!combo->DropDown());
        QCOMPARE(combo->GetCurSel(), 1);

        // Removing rows before the current one, or the current one, reports no choice.
        combo->RemoveAt(0);
        QCOMPARE(combo->GetCurSel(), 0);
        QCOMPARE(combo->GetText(), QStringLiteral("账号1"));
        combo->RemoveAt(0);
        QCOMPARE(combo->GetCurSel(), -1);
        QCOMPARE(selected.size(), 2);
        // Past the end chooses the last; -1 clears silently.
        combo->RemoveAll();
        for (int i = 0; i < 10; ++i)
            combo->AddItem(QStringLiteral("teacher%1@example.org").arg(i));
        QVERIFY(combo->SelectItem(99));
        QCOMPARE(combo->GetCurSel(), 9);
        QCOMPARE(selected.last(), qMakePair(9, -1));
        QVERIFY(!combo->SelectItem(-1));
        QCOMPARE(selected.size(), 3);
        QVERIFY(combo->GetText().isEmpty());

        // Ten rows are more than the box: 150 pixels. Without room below, the list opens above.
        combo->Activate();
        QCOMPARE(combo->DropDown()->height(), 150);
        combo->CloseDropDown();
        const QRect area = combo->screen()->availableGeometry();
        host.move(host.x(), area.bottom() - 60);
        QApplication::processEvents();
        combo->Activate();
        QVERIFY(combo->DropDown());
        QCOMPARE(combo->DropDown()->geometry().bottom(), combo->mapToGlobal(QPoint(0, 0)).y() - 1);
        combo->CloseDropDown();

        // The partner's border: the property the stylesheet reads.
        QVERIFY(!combo->property("partnerHot").toBool());
        const QImage plain = combo->grab().toImage();
        combo->SetExpand(true);
        QVERIFY(combo->property("partnerHot").toBool());
        QVERIFY(combo->grab().toImage() != plain);
        // The wheel over the closed combo keeps the account.
        combo->SelectItem(3);
        QWheelEvent wheel(QPointF(5, 5), combo->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &wheel);
        QCOMPARE(combo->GetCurSel(), 3);
    }

    void theAutomaticLoginStartsTwoSecondsAfterAStartUpShowOnly()
    {
        const std::vector<std::string> args;
        Env env(&args);
        env.Remember(CSimProcess::DemoUser(), CSimProcess::DemoPassword(), true);
        {
            auto w = env.Open(false);
            QTest::qWait(2600);
            QCOMPARE(env.main.Count(WM_FILESERVER_LIST), 0);
            QVERIFY(w->isVisible());
        }
        QElapsedTimer clock;
        clock.start();
        auto w = env.Open(true);
        QVERIFY(w->Controller().AutoLoginArmed());
        QTRY_VERIFY_WITH_TIMEOUT(env.main.Count(WM_FILESERVER_LIST) == 1, 20000);
        QVERIFY(clock.elapsed() >= 1900);
        QVERIFY(!w->isVisible());
        QVERIFY(w->Succeeded());
        QCOMPARE(env.main.Count(WM_CLOSE), 0);
    }

    void aWrongPasswordShowsTheAccountPanelAndEnterThenDoesNothing()
    {
        const std::vector<std::string> args;
        Env env(&args);
        auto w = env.Open(true);
        Type(w.get(), "usernameEdit", QString::fromStdString(CSimProcess::DemoUser()));
        Type(w.get(), "passwordEdit", QStringLiteral("wrong"));
        QTest::keyClick(Child<QLineEdit>(w.get(), "passwordEdit"), Qt::Key_Return);
        QVERIFY(WaitIdle(*w));
        QTRY_VERIFY(Child<QWidget>(w.get(), "errorfloat")->isVisible());
        QVERIFY(Child<QWidget>(w.get(), "errorPsw")->isVisible());
        QVERIFY(!Child<QWidget>(w.get(), "errorNet")->isVisible());
        QVERIFY(Child<QLabel>(w.get(), "elabel5")->text().contains(QStringLiteral("您还有")));
        QVERIFY(!Child<QLineEdit>(w.get(), "usernameEdit")->isVisible());
        VX_SCREENSHOT(w.get(), "login-account-error");

        QTest::keyClick(w.get(), Qt::Key_Return);
        QApplication::processEvents();
        QVERIFY(!w->Controller().View().busy);
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("okbtn")));
        QTRY_VERIFY(!Child<QWidget>(w.get(), "errorfloat")->isVisible());
        QVERIFY(Child<QLineEdit>(w.get(), "usernameEdit")->isVisible());
        QVERIFY(Child<QLineEdit>(w.get(), "passwordEdit")->isVisible());
        QCOMPARE(env.main.Count(WM_FILESERVER_LIST), 0);

        // The recovery link of the panel and the one below the boxes open the platform's page.
        m_shell.opened.clear();
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("fidPassBtn")));
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("regBtn")));
        QCOMPARE(m_shell.opened, (QStringList{w->RecoveryUrl(), w->RegisterUrl()}));
        QVERIFY(w->RegisterUrl().endsWith(QStringLiteral("/registerRedirect.do?action=toRegister")));
    }

    void anUnknownNameShowsTheServersWordsWithTheMarkOnTheirLine()
    {
        const std::vector<std::string> args;
        Env env(&args);
        auto w = env.Open(true);
        Type(w.get(), "usernameEdit", QStringLiteral("nobody"));
        Type(w.get(), "passwordEdit", QStringLiteral("whatever"));
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("loginbtn")));
        QVERIFY(WaitIdle(*w));
        QTRY_VERIFY(Child<QWidget>(w.get(), "errorPsw")->isVisible());
        // The simulator refuses without a count of tries: no "！" alone on a line below.
        QCOMPARE(Child<QLabel>(w.get(), "elabel5")->text(), QStringLiteral("用户名不存在！"));
        VX_SCREENSHOT(w.get(), "login-unknown-name");
    }

    void aRefusedPermissionShowsTheNetworkPanelAndTheWindowStays()
    {
        const std::vector<std::string> args = {"--account", "guest:guest1:-"};
        Env env(&args);
        auto w = env.Open(true);
        Type(w.get(), "usernameEdit", QStringLiteral("guest"));
        Type(w.get(), "passwordEdit", QStringLiteral("guest1"));
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("loginbtn")));
        QVERIFY(WaitIdle(*w));
        QTRY_VERIFY(Child<QWidget>(w.get(), "errorNet")->isVisible());
        QCOMPARE(Child<QLabel>(w.get(), "errorcode")->text(),
                 QStringLiteral("尊敬的用户，您没有权限进行登录！"));
        QVERIFY(w->isVisible());
        QCOMPARE(env.main.Count(WM_FILESERVER_LIST), 0);
        VX_SCREENSHOT(w.get(), "login-permission-error");
    }

    void theWindowAnswersWhileTheRequestRunsAndADeadServerGivesTheNetworkPanel()
    {
        const std::vector<std::string> args = {"--delay", "1500"};
        Env env(&args);
        auto w = env.Open(true);
        Type(w.get(), "usernameEdit", QString::fromStdString(CSimProcess::DemoUser()));
        Type(w.get(), "passwordEdit", QString::fromStdString(CSimProcess::DemoPassword()));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QTest::keyClick(Child<QLineEdit>(w.get(), "passwordEdit"), Qt::Key_Return);
        QTRY_VERIFY(!Child<QPushButton>(w.get(), "loginbtn")->isEnabled()); // busy shows
        VX_SCREENSHOT(w.get(), "login-busy");
        QTest::keyClick(Child<QLineEdit>(w.get(), "passwordEdit"), Qt::Key_Return); // ignored
        QVERIFY(WaitIdle(*w));
        QVERIFY2(ticks >= 10, "the window stopped answering during the request");
        QTRY_COMPARE(env.main.Count(WM_FILESERVER_LIST), 1);

        // The platform gone: the network panel, and the window keeps answering.
        env.sim.Stop();
        auto again = env.Open(false);
        Type(again.get(), "usernameEdit",
             QStringLiteral("x") + QString::fromStdString(CSimProcess::DemoUser()));
        Type(again.get(), "passwordEdit", QStringLiteral("secret"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(vx::test::ClickControl(again.get(), QStringLiteral("loginbtn")));
        QVERIFY(WaitIdle(*again, 30000));
        QVERIFY(clock.elapsed() < 15000);
        QTRY_VERIFY(Child<QWidget>(again.get(), "errorNet")->isVisible());
        QVERIFY(!Child<QLabel>(again.get(), "errorcode")->text().isEmpty());
        VX_SCREENSHOT(again.get(), "login-network-error");
    }

    void everyControlHasANameAndTheBoxesAreCheckBoxes()
    {
        Env env;
        auto w = env.Open(true);
        QStringList unnamed;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            const bool control = (c->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(c) ||
                                 qobject_cast<QLineEdit*>(c);
            if (control && AccessibleName(c).trimmed().isEmpty())
                unnamed << c->objectName();
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
        QCOMPARE(AccessibleName(Child<QWidget>(w.get(), "usernameEdit")), QStringLiteral("请输入账号"));
        QCOMPARE(AccessibleName(Child<QWidget>(w.get(), "closebtn")), QStringLiteral("关闭"));
        for (const char* box : {"remPass", "autoLog"})
            QCOMPARE(QAccessible::queryAccessibleInterface(Child<QWidget>(w.get(), box))->role(),
                     QAccessible::CheckBox);
        QCOMPARE(AccessibleName(Child<QWidget>(w.get(), "autoLog")), QStringLiteral("自动登录"));
    }

    void theKeyboardAloneLogsInThroughEveryControlInOrder()
    {
        const std::vector<std::string> args;
        Env env(&args);
        auto w = env.Open(true);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // The first focus is the account field, and what is typed lands there.
        QTRY_COMPARE(FocusName(), QStringLiteral("usernameEdit"));
        QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(CSimProcess::DemoUser()));
        QCOMPARE(Child<QLineEdit>(w.get(), "usernameEdit")->text(),
                 QString::fromStdString(CSimProcess::DemoUser()));

        // Tab goes round every field, box, link and button; each shows that it has the focus.
        const QStringList order = {QStringLiteral("passwordEdit"), QStringLiteral("remPass"),
                                   QStringLiteral("autoLog"),      QStringLiteral("fidPassBtn"),
                                   QStringLiteral("loginbtn"),     QStringLiteral("regBtn"),
                                   QStringLiteral("closebtn"),     QStringLiteral("usernameEdit")};
        QMap<QString, QImage> focused;
        for (const QString& next : order) {
            QCOMPARE(TabOnce(), next);
            focused[next] = QApplication::focusWidget()->grab().toImage();
        }
        QCOMPARE(TabOnce(true), QStringLiteral("closebtn"));
        QCOMPARE(TabOnce(), QStringLiteral("usernameEdit"));
        for (const QString& name : order) {
            if (name == QLatin1String("usernameEdit"))
                continue;
            QVERIFY2(Child<QWidget>(w.get(), qPrintable(name))->grab().toImage() != focused[name],
                     qPrintable(name + QStringLiteral(" shows no focus mark")));
        }

        // Space toggles a box as a click does: the controller follows.
        QCOMPARE(TabOnce(), QStringLiteral("passwordEdit"));
        QCOMPARE(TabOnce(), QStringLiteral("remPass"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY(w->Controller().View().remPass);
        QVERIFY(Child<QCheckBox>(w.get(), "remPass")->isChecked());
        QVERIFY(!Child<QCheckBox>(w.get(), "autoLog")->isChecked());

        // A wrong password by keys: Enter logs in from the box; the panel takes the focus and
        // Space on its button gives the fields back.
        QCOMPARE(TabOnce(true), QStringLiteral("passwordEdit"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("wrong"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(FocusName(), QStringLiteral("remPass"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(WaitIdle(*w));
        QTRY_VERIFY(Child<QWidget>(w.get(), "errorfloat")->isVisible());
        QTRY_COMPARE(FocusName(), QStringLiteral("okbtn"));
        QCOMPARE(TabOnce(true), QStringLiteral("forgetpsw"));
        QCOMPARE(TabOnce(), QStringLiteral("okbtn"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY(!Child<QWidget>(w.get(), "errorfloat")->isVisible());
        QTRY_COMPARE(FocusName(), QStringLiteral("passwordEdit"));

        // The right password and Enter: the login is granted.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(CSimProcess::DemoPassword()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QTRY_VERIFY_WITH_TIMEOUT(env.main.Count(WM_FILESERVER_LIST) == 1, 20000);
        QVERIFY(w->Succeeded());
        QCOMPARE(env.main.Count(WM_CLOSE), 0);
    }

    void theCloseButtonEndsTheProgram()
    {
        Env env;
        env.Remember("li", "pw", true);
        auto w = env.Open(true);
        QVERIFY(w->Controller().AutoLoginArmed());
        QVERIFY(vx::test::ClickControl(w.get(), QStringLiteral("closebtn")));
        QTRY_COMPARE(env.main.Count(WM_CLOSE), 1);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->Controller().AutoLoginArmed());
    }

private:
    CShellRecorder m_shell;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ApplyStyleSheet(app);
    LoginWndTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LoginWndTest.moc"
