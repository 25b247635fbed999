// The pop-up menu (entries per flag set, order, texts, size, the chosen entry by mouse and by
// keyboard) and the in-place rename edit (110 code points with Chinese text, forbidden
// characters typed, pasted or set otherwise, keep-extension for compound extensions, Escape).

#include "TestRegistry.h"
#include "app/LanguageTable.h"
#include "common/UiTestUtil.h"
#include "ui/VXEditWnd.h"
#include "ui/VXMenuWnd.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vx;

namespace {

const CLanguageTable& Texts()
{
    static CLanguageTable table;
    if (table.Count() == 0)
        table.Load(VX_SOURCE_DIR "/resources/Language/SimpleChinese");
    return table;
}

// A window with one row (a label) whose name is edited in place.
struct EditFixture
{
    EditFixture()
    {
        window.resize(420, 120);
        row = new QLabel(&window);
        row->setObjectName(QStringLiteral("fileRow"));
        row->setGeometry(10, 40, 400, 30);
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    CVXEditWnd* Start(const QString& name, bool keepExt)
    {
        row->setText(name);
        edit = CVXEditWnd::Start(row, QRect(), QString(), nullptr, keepExt);
        QObject::connect(edit, &CVXEditWnd::Committed, &window,
                         [this](const QString& name) { reported << name; });
        return edit;
    }
    // Clears the shown text with Backspace, as a user would.
    void ClearByKeys()
    {
        QTest::keyClick(edit, Qt::Key_End);
        while (!edit->text().isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QStringList Reported() const { return reported; }
    QWidget window;
    QLabel* row = nullptr;
    QPointer<CVXEditWnd> edit;
    QStringList reported;
};

// The entry a menu reports: the entries in the order they were chosen, and whether the menu
// was still visible when it told.
struct MenuWatch
{
    explicit MenuWatch(CVXMenuWnd* menu)
    {
        QObject::connect(menu, &CVXMenuWnd::EntryChosen, menu, [this, menu](CVXMenuWnd::Entry e) {
            chosen << CVXMenuWnd::EntryName(e);
            visibleWhenChosen = visibleWhenChosen || menu->isVisible();
        });
    }
    QStringList chosen;
    bool visibleWhenChosen = false;
};

} // namespace

class MenuEditTest : public QObject
{
    Q_OBJECT

private slots:
    void menuShowsFlaggedEntriesInOrderWithTheirTexts()
    {
        QCOMPARE(CVXMenuWnd::EntryNames(0x302),
                 QStringList({QStringLiteral("delete"), QStringLiteral("coursedetail"),
                              QStringLiteral("coursefilepath")}));
        QCOMPARE(CVXMenuWnd::EntryNames(0x3FF).size(), qsizetype(10));
        QCOMPARE(CVXMenuWnd::EntryNames(0x030),
                 QStringList({QStringLiteral("trayshow"), QStringLiteral("exit")}));
        QVERIFY(CVXMenuWnd::EntryNames(0).isEmpty());

        QWidget owner;
        owner.show();
        auto* menu = new CVXMenuWnd(0x302, &owner, 100, &Texts());
        menu->ShowAt(owner.mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QCOMPARE(menu->height(), 3 * 25 + 2);
        QCOMPARE(menu->width(), 100);
        const CVXMenuWnd::Entry entries[] = {CVXMenuWnd::Delete, CVXMenuWnd::CourseDetail,
                                             CVXMenuWnd::CourseFilePath};
        const int texts[] = {1021, 16, 17};
        int lastY = -1;
        for (int i = 0; i < 3; ++i) {
            QAction* a = menu->ActionOf(entries[i]);
            QVERIFY2(a, qPrintable(CVXMenuWnd::EntryName(entries[i])));
            QCOMPARE(a->objectName(), CVXMenuWnd::EntryName(entries[i]));
            QCOMPARE(a->text(), QString::fromStdString(Texts().GetText(texts[i])));
            QCOMPARE(menu->actionGeometry(a).height(), 25);
            QVERIFY(menu->actionGeometry(a).y() > lastY);
            lastY = menu->actionGeometry(a).y();
        }
        QVERIFY(!menu->ActionOf(CVXMenuWnd::Rename));
        VX_SCREENSHOT(menu, "menu-0x302");
        delete menu;

        // Without a language table the menu has no entries.
        CVXMenuWnd empty(0x302, &owner, 100, nullptr);
        QVERIFY(empty.Entries().isEmpty());
    }

    void menuReportsTheChosenEntryOnceAfterClosingByMouseAndByKeys()
    {
        QWidget window;
        auto* owner = new QPushButton(&window);
        owner->setObjectName(QStringLiteral("CaptionBar"));
        window.show();
        QPointer<CVXMenuWnd> menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        MenuWatch watch(menu);
        menu->ShowAt(window.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        VX_SCREENSHOT(menu.data(), "menu-tray");
        QVERIFY(test::ClickControl(menu, QStringLiteral("exit")));
        QCOMPARE(watch.chosen, QStringList({QStringLiteral("exit")}));
        QVERIFY(!watch.visibleWhenChosen);
        // A second trigger of the closing menu reports nothing more.
        if (menu)
            menu->ActionOf(CVXMenuWnd::TrayShow)->trigger();
        QCOMPARE(watch.chosen.size(), qsizetype(1));
        QTRY_VERIFY(!menu); // closed and deleted

        // By keys: Down to the second entry, Enter chooses it.
        menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        MenuWatch keys(menu);
        menu->ShowAt(window.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), menu->ActionOf(CVXMenuWnd::Exit));
        QTest::keyClick(menu, Qt::Key_Return);
        QCOMPARE(keys.chosen, QStringList({QStringLiteral("exit")}));
        QTRY_VERIFY(!menu);

        // Escape closes it without a choice.
        menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        MenuWatch none(menu);
        menu->ShowAt(window.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu);
        QVERIFY(none.chosen.isEmpty());

        // A receiver connected as the windows connect (queued, to the owner) hears nothing when
        // the owner is gone before the choice arrives, and nothing crashes.
        menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        int heard = 0;
        connect(
            menu, &CVXMenuWnd::EntryChosen, owner, [&heard] { ++heard; }, Qt::QueuedConnection);
        menu->ShowAt(window.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QVERIFY(test::ClickControl(menu, QStringLiteral("trayshow")));
        delete owner;
        QTest::qWait(20);
        QCOMPARE(heard, 0);
    }

    void renameReportsTrimmedNewNameAndNothingWhenUnchanged()
    {
        EditFixture f;
        f.Start(QStringLiteral("第一章 导论"), false);
        QCOMPARE(f.edit->text(), QStringLiteral("第一章 导论"));
        test::TypeText(f.edit, QStringLiteral("（修订） "));
        VX_SCREENSHOT(&f.window, "rename-edit");
        QTest::keyClick(f.edit, Qt::Key_Return);
        QCOMPARE(f.Reported(), QStringList({QStringLiteral("第一章 导论（修订）")}));
        QTRY_VERIFY(!f.edit);

        EditFixture same;
        same.Start(QStringLiteral("abc"), false);
        QTest::keyClick(same.edit, Qt::Key_Return);
        QVERIFY(same.Reported().isEmpty());

        EditFixture esc;
        esc.Start(QStringLiteral("abc"), false);
        test::TypeText(esc.edit, QStringLiteral("def"));
        QTest::keyClick(esc.edit, Qt::Key_Escape);
        QVERIFY(esc.Reported().isEmpty());
        QTRY_VERIFY(!esc.edit);
    }

    void renameStopsAt110CodePointsOfChineseText()
    {
        EditFixture f;
        f.Start(QString(), false);
        f.edit->setFocus();
        // 108 Chinese characters and one outside the basic plane (two UTF-16 units, one code point).
        const QString base = QString(108, QChar(0x8BFE));
        test::TypeText(f.edit, base);
        test::TypeText(f.edit, QString::fromUcs4(U"𠀀"));
        test::TypeText(f.edit, QStringLiteral("程序设计"));
        QCOMPARE(f.edit->text().toUcs4().size(), qsizetype(110));
        QCOMPARE(f.edit->text(), base + QString::fromUcs4(U"𠀀") + QStringLiteral("程"));
        // Backspace still works at the limit, and then one more character fits.
        QTest::keyClick(f.edit, Qt::Key_Backspace);
        test::TypeText(f.edit, QStringLiteral("序序"));
        QCOMPARE(f.edit->text().toUcs4().size(), qsizetype(110));
        QTest::keyClick(f.edit, Qt::Key_Return);
        QCOMPARE(f.Reported().size(), qsizetype(1));

        // Text longer than 110 that arrived without typing is refused on commit.
        EditFixture g;
        g.Start(QStringLiteral("短名"), false);
        g.edit->setText(QString(111, QChar(0x6587)));
        QTest::keyClick(g.edit, Qt::Key_Return);
        QVERIFY(g.Reported().isEmpty());
        QVERIFY(g.edit); // still editing, so the user can shorten it
        QVERIFY(!g.edit->TipText().isEmpty());

        // An existing longer name may be shortened but not lengthened.
        EditFixture h;
        const QString longName = QString(150, QChar(0x540D));
        h.Start(longName, false);
        QCOMPARE(h.edit->MaxChars(), 150);
        test::TypeText(h.edit, QStringLiteral("加"));
        QCOMPARE(h.edit->text(), longName);
        QTest::keyClick(h.edit, Qt::Key_Backspace);
        QTest::keyClick(h.edit, Qt::Key_Return);
        QCOMPARE(h.Reported(), QStringList({QString(149, QChar(0x540D))}));
    }

    void forbiddenCharactersAreRefusedTypedPastedAndOnCommit()
    {
        EditFixture f;
        f.Start(QStringLiteral("课件"), false);
        test::TypeText(f.edit, QStringLiteral("?"));
        QCOMPARE(f.edit->text(), QStringLiteral("课件"));
        QCOMPARE(f.edit->TipText(), QStringLiteral("文件不能包含任何一项：") + CVXEditWnd::ForbiddenChars());
        VX_SCREENSHOT(&f.window, "rename-forbidden");
        test::TypeText(f.edit, QStringLiteral("a"));
        QVERIFY(f.edit->TipText().isEmpty()); // an accepted character hides the tip
        for (QChar c : CVXEditWnd::ForbiddenChars()) {
            test::TypeText(f.edit, QString(c));
            QCOMPARE(f.edit->text(), QStringLiteral("课件a"));
        }

        // Paste shortcuts do nothing.
        QApplication::clipboard()->setText(QStringLiteral("x?y"));
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(f.edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(f.edit->text(), QStringLiteral("课件a"));

        // An input method's commit is filtered like typing.
        QInputMethodEvent ime;
        ime.setCommitString(QStringLiteral("b*c"));
        QApplication::sendEvent(f.edit, &ime);
        QCOMPARE(f.edit->text(), QStringLiteral("课件abc"));

        // Whatever else put a forbidden character in (a drop, a program), commit refuses it.
        f.edit->setText(QStringLiteral("课件<1>"));
        QTest::keyClick(f.edit, Qt::Key_Return);
        QVERIFY(f.Reported().isEmpty());
        QVERIFY(f.edit);
        // Losing the focus with it still there ends editing without a report.
        f.edit->clearFocus();
        QVERIFY(f.Reported().isEmpty());
        QTRY_VERIFY(!f.edit);
    }

    void keepExtensionHidesAndRestoresCompoundExtensions()
    {
        struct Case
        {
            QString name, shown;
            QString typed;
            QString reported; // empty: nothing reported
        } cases[] = {
            {QStringLiteral("abc.flv"), QStringLiteral("abc"), QStringLiteral("abc2"),
             QStringLiteral("abc2.flv")},
            {QStringLiteral("abc.flv"), QStringLiteral("abc"), QStringLiteral("abc2.flv"),
             QStringLiteral("abc2.flv")},
            {QStringLiteral("abc.flv"), QStringLiteral("abc"), QStringLiteral("abc.flv"), QString()},
            {QStringLiteral("lesson.asc.flv"), QStringLiteral("lesson"), QStringLiteral("第二课"),
             QStringLiteral("第二课.asc.flv")},
            {QStringLiteral("talk.audioc.flv"), QStringLiteral("talk"), QStringLiteral("talk2.audioc.flv"),
             QStringLiteral("talk2.audioc.flv")},
            {QStringLiteral("talk.audioc.flv"), QStringLiteral("talk"), QStringLiteral("talk2.flv"),
             QStringLiteral("talk2.flv.audioc.flv")},
        };
        for (const Case& c : cases) {
            EditFixture f;
            f.Start(c.name, true);
            QCOMPARE(f.edit->text(), c.shown);
            f.ClearByKeys();
            test::TypeText(f.edit, c.typed);
            QTest::keyClick(f.edit, Qt::Key_Return);
            QCOMPARE(f.Reported(), c.reported.isEmpty() ? QStringList() : QStringList({c.reported}));
        }
    }
};

VX_REGISTER_QTEST(MenuEditTest);
#include "MenuEditTest.moc"
