// The main window's own behaviour with real clicks and keys (offscreen): the form, the tab
// counts, the search boxes of the two course pages, the course buttons for every status,
// close and hide, the caption drag and the tray while signed out.

#include "MainTestEnv.h"
#include "app/LogFile.h"
#include "common/TestRegistry.h"
#include "platform/Paths.h"
#include "ui/HintEditUI.h"
#include "ui/VXMenuWnd.h"
#include "ui/VxMessageWnd.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/login/LoginWnd.h"
#include "ui/settings/SetDataWnd.h"
#include "ui/settings/VXAboutWnd.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
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

// Visible controls that do not fit: outside their parent, or outside the window's border, or
// too narrow for their text. The rows of lists and trees scroll and are not counted.
QStringList ClippedControls(CMainWnd* w)
{
    QStringList out;
    const QRect inner = w->rect().adjusted(CMainWnd::kResizeBorder, CMainWnd::kResizeBorder,
                                           -CMainWnd::kResizeBorder, -CMainWnd::kResizeBorder);
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (!c->isVisibleTo(w) || c->isWindow() || c->objectName().startsWith(QLatin1String("qt_")))
            continue;
        bool scrolled = false;
        for (QWidget* p = c->parentWidget(); p && p != w; p = p->parentWidget())
            if (auto* area = qobject_cast<QAbstractScrollArea*>(p->parentWidget());
                area && area->viewport() == p)
                scrolled = true;
        if (scrolled)
            continue;
        const QString name =
            c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className()) : c->objectName();
        const QRect inWindow(c->mapTo(w, QPoint(0, 0)), c->size());
        if (c->width() <= 1 || c->height() <= 1)
            continue; // collapsed on purpose ("searchtext")
        if (!inner.contains(inWindow))
            out << name + QStringLiteral(" leaves the window");
        else if (c->parentWidget() && !c->parentWidget()->rect().contains(c->geometry()))
            out << name + QStringLiteral(" leaves its parent");
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(c); l && !l->wordWrap())
            text = l->text();
        if (!text.isEmpty() && c->fontMetrics().horizontalAdvance(text) > c->contentsRect().width())
            out << name + QStringLiteral(" cuts its text");
    }
    return out;
}

// Opens the caption's settings menu with open() (a click or a key on its button) and, once it
// shows, picks an entry: by a click on it, or by Down to it and Return. Returns the entry that
// was active when picked (empty when the menu never showed).
QString PickFromSetMenu(QToolButton* button, const std::function<void()>& open, int entry, bool byMouse)
{
    QMenu* menu = button->menu();
    QString picked;
    QTimer::singleShot(200, menu, [&] {
        if (!menu->isVisible())
            return;
        QAction* action = menu->actions().value(entry);
        if (byMouse) {
            QTest::mouseMove(menu, menu->actionGeometry(action).center());
            picked = action->text();
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
            return;
        }
        for (int i = 0; i <= entry; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        picked = menu->activeAction() ? menu->activeAction()->text() : QStringLiteral("(none)");
        QTest::keyClick(menu, Qt::Key_Return);
    });
    open();
    if (!QTest::qWaitFor([&] { return !picked.isEmpty() && !menu->isVisible(); }, 5000))
        return QStringLiteral("(still open)");
    return picked;
}

// Waits for the child window of type T to show, then closes it.
template <typename T> bool ShownThenClosed(QWidget& owner)
{
    T* child = nullptr;
    if (!QTest::qWaitFor([&] { return (child = owner.findChild<T*>()) && child->isVisible(); }, 5000))
        return false;
    child->close();
    return QTest::qWaitFor([&] { return !owner.findChild<T*>(); }, 5000);
}

// Moves the keyboard focus through the window with Tab until it reaches target (at most 60 steps).
bool TabTo(QWidget* window, QWidget* target)
{
    for (int i = 0; i < 60 && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
    return QApplication::focusWidget() == target;
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
        QCOMPARE(w.property("windowClass").toString(), QStringLiteral("_VexoraV2MainWnd_"));
        // Hidden at start, page 2 selected, "searchtext" locked until a session starts.
        QVERIFY(!w.isVisible());
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 2);
        QVERIFY(!Child<QWidget>(&w, "searchtext")->isEnabled());

        auto* handling = Child<QPushButton>(&w, "HandlingOp");
        auto* converted = Child<QPushButton>(&w, "ConvertedOp");
        QCOMPARE(handling->text(), QStringLiteral("正在处理"));
        QCOMPARE(converted->text(), QStringLiteral("已转换"));
        w.CourseList()->List()->AddRecord(Record("a.mp4", 2), true);
        w.CourseList()->List()->AddRecord(Record("b.mp4", 2), true);
        w.DoneList()->List()->AddRecord(Record("c.flv", 11), true);
        w.RefreshTabCounts();
        QCOMPARE(handling->text(), QStringLiteral("正在处理(2)"));
        QCOMPARE(converted->text(), QStringLiteral("已转换(1)"));

        // The tabs select their pages with real clicks.
        w.show();
        QTest::mouseClick(handling, Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 0);
        VX_SCREENSHOT(&w, "main-course-page");
        QTest::mouseClick(converted, Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 1);
        VX_SCREENSHOT(&w, "main-converted-page");
        QTest::mouseClick(Child<QPushButton>(&w, "UserSpaceOp"), Qt::LeftButton);
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 2);
        VX_SCREENSHOT(&w, "main-space-page");

        // To assistive technology: a window with three page tabs found by their page's name, the
        // checked one selected; every control that takes the focus or is a button has a name.
        QCOMPARE(QAccessible::queryAccessibleInterface(&w)->role(), QAccessible::Window);
        QAccessibleInterface* tab = QAccessible::queryAccessibleInterface(handling);
        QCOMPARE(tab->role(), QAccessible::PageTab);
        QCOMPARE(tab->text(QAccessible::Name), QStringLiteral("正在处理"));
        QVERIFY(!tab->state().selected);
        QVERIFY(
            QAccessible::queryAccessibleInterface(Child<QPushButton>(&w, "UserSpaceOp"))->state().selected);
        tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 0);
        QStringList unnamed;
        for (QWidget* c : w.findChildren<QWidget*>()) {
            if (!c->isVisibleTo(&w) ||
                !((c->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(c)))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            if (a && a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << c->objectName();
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

        // By keys: Ctrl+F goes to the shown page's search box; the arrows step through the tabs.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), Child<QWidget>(&w, "ProceSearchEdit"));
        handling->setFocus();
        QTest::keyClick(handling, Qt::Key_Right);
        QTRY_COMPARE(Child<QStackedWidget>(&w, "switchoverTab")->currentIndex(), 1);
        QVERIFY(converted->isChecked() && converted->hasFocus());
        QTest::keyClick(converted, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), Child<QWidget>(&w, "doneSearchEdit"));
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
        QTest::mouseClick(Child<QPushButton>(&w, "HandlingOp"), Qt::LeftButton);
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
        // Over the list, below its header.
        QCOMPARE(banner->y(), w.CourseList()->viewport()->mapTo(&w, QPoint(0, 0)).y());
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
        QTest::mouseClick(Child<QPushButton>(&w, "ConvertedOp"), Qt::LeftButton);
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
        MainEnv env(false, std::string(), true); // the desktop shows a tray icon
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

    void withoutATrayTheCloseButtonMinimisesInsteadOfHiding()
    {
        MainEnv env; // no tray icon: a hidden window could never come back
        OpenLogs();
        CMainWnd& w = *env.wnd;
        env.config->m_i64UserId = 7;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_VERIFY(w.isMinimized());
        QVERIFY(w.isVisible());
        QCOMPARE(env.quits, 0);
        QVERIFY(ReadFile(GetDataFolder() + "Log/log.txt").find("no system tray") != std::string::npos);
        // The window manager's close the same way.
        w.showNormal();
        QVERIFY(!w.close());
        QTRY_VERIFY(w.isMinimized());
        QVERIFY(w.isVisible());
        // With "close exits" the program ends.
        _sSetData o = env.config->m_setData;
        o.nUinfo |= kOptExitApp;
        env.config->SetUserOptions(o);
        w.showNormal();
        QVERIFY(vx::test::ClickControl(&w, QStringLiteral("closebtn")));
        QTRY_COMPARE(env.quits, 1);
    }

    void theMenusDeleteRemovesTheSelectedRowsAsTheDeleteKeyDoes()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.resize(960, 640);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(Child<QPushButton>(&w, "HandlingOp"), Qt::LeftButton);
        CLCListModel* course = w.CourseList()->List();
        for (const char* name : {"第一课.mp4", "第二课.mp4", "第三课.pdf"})
            course->AddRecord(Record(name, 4), true);
        const std::vector<std::string> before = course->Indexes();
        auto rowCenter = [](CRecordListView* list, int row) {
            return list->visualRect(list->model()->index(row, 0)).center();
        };
        // Right click on the selected second row, then "删除" in its menu.
        QTest::mouseClick(w.CourseList()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          rowCenter(w.CourseList(), 1));
        QTest::mouseClick(w.CourseList()->viewport(), Qt::RightButton, Qt::NoModifier,
                          rowCenter(w.CourseList(), 1));
        CVXMenuWnd* menu = w.CourseList()->OpenMenu();
        QVERIFY(menu);
        QVERIFY(menu->Entries().contains(QStringLiteral("delete")));
        VX_SCREENSHOT(menu, "main-course-menu");
        QVERIFY(vx::test::ClickControl(menu, QStringLiteral("delete")));
        QTRY_COMPARE(course->Count(), size_t(2));
        QVERIFY(!course->Find(before[1]));
        QVERIFY(course->Find(before[0]) && course->Find(before[2]));

        // The converted list's menu the same way.
        QTest::mouseClick(Child<QPushButton>(&w, "ConvertedOp"), Qt::LeftButton);
        CConverDoneListModel* done = w.DoneList()->List();
        for (const char* name : {"第一课.flv", "第二课.flv"}) {
            _sLCItemData r = Record(name, 11);
            r.strConvertPath = std::string("/nowhere/") + name;
            done->AddRecord(r, true);
        }
        const std::vector<std::string> converted = done->Indexes();
        QTest::mouseClick(w.DoneList()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          rowCenter(w.DoneList(), 0));
        QTest::mouseClick(w.DoneList()->viewport(), Qt::RightButton, Qt::NoModifier,
                          rowCenter(w.DoneList(), 0));
        QVERIFY(w.DoneList()->OpenMenu());
        QVERIFY(vx::test::ClickControl(w.DoneList()->OpenMenu(), QStringLiteral("delete")));
        QTRY_COMPARE(done->Count(), size_t(1));
        QVERIFY(done->Find(converted[1]));

        // The menu's other entries reach the window: the converted file's folder is shown (the
        // output folder, as the file is gone).
        const int revealed = int(m_shell.opened.size());
        QTest::mouseClick(w.DoneList()->viewport(), Qt::RightButton, Qt::NoModifier,
                          rowCenter(w.DoneList(), 0));
        QVERIFY(w.DoneList()->OpenMenu());
        QVERIFY(vx::test::ClickControl(w.DoneList()->OpenMenu(), QStringLiteral("openconverfile")));
        QTRY_COMPARE(int(m_shell.opened.size()), revealed + 1);
        QCOMPARE(m_shell.opened.last(), QString::fromStdString(env.config->m_setData.strConvertPath));
    }

    void nothingIsClippedAtTheDefaultSizeOrDownToTheMinimum()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        QVERIFY(w.minimumWidth() > 0 && w.minimumHeight() > 0);
        for (int i = 0; i < 30; ++i) {
            _sLCItemData r = Record("第" + std::to_string(i) + "课 高等数学 微积分初步 课堂录像.mp4", 6);
            r.nProgress = 42;
            r.nWidth = 1280;
            r.nHeight = 720;
            r.nFileBits = 1500;
            r.nSpeed = 3 * 1024 * 1024;
            w.CourseList()->List()->AddRecord(r, true);
            r.nStatus = 11;
            r.strConvertPath = "/out/" + r.strFileName + ".flv";
            r.strModifyTime = "2024-03-01 10:20:30";
            w.DoneList()->List()->AddRecord(r, true);
        }
        w.RefreshTabCounts();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize sizes[] = {QSize(960, 640), w.minimumSize()};
        const char* pages[] = {"HandlingOp", "ConvertedOp", "UserSpaceOp"};
        for (const QSize& size : sizes) {
            w.resize(size);
            QCOMPARE(w.size(), size);
            for (int p = 0; p < 3; ++p) {
                QTest::mouseClick(Child<QPushButton>(&w, pages[p]), Qt::LeftButton);
                QApplication::processEvents();
                const QString where = QStringLiteral("%1x%2 %3")
                                          .arg(size.width())
                                          .arg(size.height())
                                          .arg(QLatin1String(pages[p]));
                QStringList clipped = ClippedControls(&w);
                // The rows' last column holds a whole time stamp inside the list, clear of its
                // edge (the scroll bar or the window's border follows).
                CConverDoneListUI* done = w.DoneList();
                const QRect time = done->ColumnRects(done->viewport()->rect()).back();
                const int stamp =
                    done->fontMetrics().horizontalAdvance(QStringLiteral("2024-03-01 10:20:30"));
                if (p == 1 && (time.right() >= done->viewport()->width() || stamp + 8 > time.width()))
                    clipped << QStringLiteral("the converted time column");
                QVERIFY2(clipped.isEmpty(),
                         qPrintable(where + QStringLiteral(": ") + clipped.join(QStringLiteral(", "))));
                VX_SCREENSHOT(
                    &w, QStringLiteral("main-fit-%1x%2-page%3").arg(size.width()).arg(size.height()).arg(p));
            }
        }
    }

    void theBorderResizesTheFramelessWindowDownToItsMinimum()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.resize(960, 640);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint corner(w.width() - 2, w.height() - 2);
        QCOMPARE(w.ResizeEdgesAt(corner), Qt::RightEdge | Qt::BottomEdge);
        QCOMPARE(w.ResizeEdgesAt(QPoint(1, 300)), Qt::Edges(Qt::LeftEdge));
        QCOMPARE(w.ResizeEdgesAt(QPoint(300, 300)), Qt::Edges());
        // The border belongs to the window: nothing of the form covers it.
        QCOMPARE(w.childAt(corner), nullptr);
        QCOMPARE(w.childAt(QPoint(w.width() / 2, 1)), nullptr);
        // The hover goes through the window as the window system's would: QTest's widget
        // overload moves the cursor instead, which the offscreen platform places wrongly at
        // any scale but 1.
        QTest::mouseMove(w.windowHandle(), corner);
        QCOMPARE(w.cursor().shape(), Qt::SizeFDiagCursor);

        // Dragging the corner outwards grows the window; far inwards it stops at the minimum.
        QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, corner);
        QTest::mouseMove(&w, corner + QPoint(80, 40));
        QTRY_COMPARE(w.size(), QSize(1040, 680));
        QTest::mouseMove(&w, corner - QPoint(2000, 2000));
        QTRY_COMPARE(w.size(), w.minimumSize().expandedTo(w.minimumSizeHint()));
        QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, corner - QPoint(2000, 2000));
        // Maximised there is no border to pull.
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
        QCOMPARE(w.ResizeEdgesAt(QPoint(w.width() - 1, w.height() - 1)), Qt::Edges());
    }

    void theSpaceSearchBoxHasTheFocusLookOfTheOthers()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* border = Child<QFrame>(&w, "SpaceSearchBorder");
        auto* edit = Child<QLineEdit>(&w, "SpaceSearchtext");
        QVERIFY(border && edit);
        QVERIFY(border->isAncestorOf(edit));
        // The frame's left edge, as drawn: grey, blue while the box has the focus.
        auto edge = [border] { return border->grab().toImage().pixelColor(0, border->height() / 2).name(); };
        QCOMPARE(edge(), QStringLiteral("#dddddd"));
        QTest::mouseClick(edit, Qt::LeftButton);
        QTRY_COMPARE(edge(), QStringLiteral("#328cdf"));
        QTest::mouseClick(Child<QLineEdit>(&w, "ProceSearchEdit"), Qt::LeftButton);
        QTRY_COMPARE(edge(), QStringLiteral("#dddddd"));
    }

    void theSettingsButtonShowsAndOpensItsMenuByMouseAndKeyboard()
    {
        MainEnv env;
        CMainWnd& w = *env.wnd;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* button = Child<QToolButton>(&w, "SetComBox");
        QVERIFY(button && button->isVisible());
        QVERIFY(!button->icon().isNull());
        QVERIFY(button->width() >= 32 && button->height() >= 24);
        QCOMPARE(button->accessibleName(), QStringLiteral("设置"));
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        QMenu* menu = button->menu();
        QVERIFY(menu);
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        QCOMPARE(texts, (QStringList{QStringLiteral("设置"), QStringLiteral("关于"),
                                     QStringLiteral("退出登录"), QStringLiteral("退出")}));
        // The button paints something: it is not the blank spot it once was.
        const QImage look = button->grab().toImage();
        int inked = 0;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x)
                inked += look.pixelColor(x, y) != look.pixelColor(0, 0);
        QVERIFY2(inked > 40, qPrintable(QString::number(inked)));

        // By mouse: "设置" opens the settings window.
        const auto click = [button] { QTest::mouseClick(button, Qt::LeftButton); };
        QCOMPARE(PickFromSetMenu(button, click, 0, true), QStringLiteral("设置"));
        QVERIFY(ShownThenClosed<CSetDataWnd>(w));

        // By keyboard: Tab reaches the button, Enter opens the menu, "关于" opens the about window.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(TabTo(&w, button));
        const auto key = [button](Qt::Key k) { return [button, k] { QTest::keyClick(button, k); }; };
        QCOMPARE(PickFromSetMenu(button, key(Qt::Key_Return), 1, false), QStringLiteral("关于"));
        QVERIFY(ShownThenClosed<CVXAboutWnd>(w));

        // Escape closes the menu without a command.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        button->setFocus();
        bool shown = false;
        QTimer::singleShot(200, menu, [&] {
            shown = menu->isVisible();
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        QTest::keyClick(button, Qt::Key_Space);
        QTRY_VERIFY(shown && !menu->isVisible());
        QTest::qWait(100);
        QVERIFY(w.isVisible() && !w.Login() && env.quits == 0);

        // Space opens it too: "退出登录" hides the window and shows the login window.
        QCOMPARE(PickFromSetMenu(button, key(Qt::Key_Space), 2, false), QStringLiteral("退出登录"));
        QTRY_VERIFY(w.Login() && w.Login()->isVisible());
        QVERIFY(!w.isVisible());
        w.Login()->hide();

        // Down opens it as well: "退出" ends the program.
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        button->setFocus();
        QCOMPARE(PickFromSetMenu(button, key(Qt::Key_Down), 3, false), QStringLiteral("退出"));
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
