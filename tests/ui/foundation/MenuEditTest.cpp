// The pop-up menu (entries per flag set, order, texts, size, the click's notification) and the
// in-place rename edit (110 code points with Chinese text, forbidden characters typed, pasted
// or set otherwise, keep-extension for compound extensions, Escape).

#include "Recorder.h"
#include "TestRegistry.h"
#include "app/LanguageTable.h"
#include "common/UiTestUtil.h"
#include "ui/VXEditWnd.h"
#include "ui/VXMenuWnd.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vx;
using vx::test::CNotifyRecorder;

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
        return edit;
    }
    // Clears the shown text with Backspace, as a user would.
    void ClearByKeys()
    {
        QTest::keyClick(edit, Qt::Key_End);
        while (!edit->text().isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QStringList Reported()
    {
        QCoreApplication::processEvents(); // the report is posted
        QStringList r;
        for (const TNotifyUI& m : window.messages)
            if (m.sType == QLatin1String("editnewtext") && m.senderName == QLatin1String("fileRow"))
                r << m.strData;
        return r;
    }
    CNotifyRecorder window;
    QLabel* row = nullptr;
    QPointer<CVXEditWnd> edit;
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

        CNotifyRecorder owner;
        owner.show();
        auto* menu = new CVXMenuWnd(0x302, &owner, 100, &Texts());
        menu->ShowAt(owner.mapToGlobal(QPoint(20, 20)));
        QCOMPARE(menu->height(), 3 * 25 + 2);
        QCOMPARE(menu->width(), 100);
        const char* names[] = {"delete", "coursedetail", "coursefilepath"};
        const int texts[] = {1021, 16, 17};
        int lastY = -1;
        for (int i = 0; i < 3; ++i) {
            auto* b = menu->findChild<QPushButton*>(QString::fromLatin1(names[i]));
            QVERIFY2(b, names[i]);
            QCOMPARE(b->text(), QString::fromStdString(Texts().GetText(texts[i])));
            QVERIFY(b->y() > lastY);
            lastY = b->y();
        }
        VX_SCREENSHOT(menu, "menu-0x302");
        delete menu;

        // Without a language table the menu has no entries.
        CVXMenuWnd empty(0x302, &owner, 100, nullptr);
        QVERIFY(empty.Entries().isEmpty());
    }

    void menuClickNotifiesTheOwnerLaterAndCloses()
    {
        CNotifyRecorder window;
        auto* owner = new QPushButton(&window);
        owner->setObjectName(QStringLiteral("CaptionBar"));
        window.show();
        QPointer<CVXMenuWnd> menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        menu->ShowAt(window.mapToGlobal(QPoint(10, 10)));
        VX_SCREENSHOT(menu.data(), "menu-tray");
        test::ClickControl(menu, QStringLiteral("exit"));
        QCOMPARE(window.Count(QStringLiteral("exit")), 0); // asynchronous
        QTRY_COMPARE(window.Count(QStringLiteral("exit")), 1);
        QCOMPARE(window.messages.back().senderName, QStringLiteral("CaptionBar"));
        QTRY_VERIFY(!menu); // closed and deleted

        // An owner that is gone before the notification arrives gets nothing (and nothing crashes).
        menu = new CVXMenuWnd(0x030, owner, 90, &Texts());
        menu->show();
        test::ClickControl(menu, QStringLiteral("trayshow"));
        delete owner;
        QTest::qWait(20);
        QCOMPARE(window.Count(QStringLiteral("trayshow")), 0);
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
