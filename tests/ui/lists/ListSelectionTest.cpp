// Selection, search, the Delete key and the context menu of both lists, with real clicks and
// keys; screenshots of both lists full of rows in mixed states.

#include "ListFixture.h"
#include "common/UiTestUtil.h"
#include "foundation/Recorder.h"
#include "foundation/TestRegistry.h"
#include "pipeline/PipelineMessages.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListDelegate.h"
#include "ui/lists/LCListView.h"
#include "ui/lists/ListPaint.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QToolTip>

#include <QAbstractButton>
#include <QScrollBar>
#include <QTest>

using namespace vx;
using namespace vx::test;

namespace {

struct CourseWindow
{
    explicit CourseWindow(ListEnv& env, int rows)
    {
        list = new CLCListView(&win);
        win.Watch(list);
        list->SetContext(env.Context());
        win.resize(1000, 420);
        list->setGeometry(win.rect());
        for (const _sLCItemData& r : MixedRecords(rows))
            list->Add(r, true);
        win.show();
        exposed = QTest::qWaitForWindowExposed(&win);
    }
    void Click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier, Qt::MouseButton b = Qt::LeftButton)
    {
        list->scrollTo(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), b, mods, list->visualRect(list->model()->index(row, 0)).center());
    }
    const CListRecorder::Event* LastSelectChanged() const
    {
        for (auto it = win.messages.rbegin(); it != win.messages.rend(); ++it)
            if (it->sType == QLatin1String("selectchanged"))
                return &*it;
        return nullptr;
    }
    CListRecorder win;
    CLCListView* list;
    bool exposed = false;
};

} // namespace

class ListSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void clickCtrlAndShiftFromTheAnchor()
    {
        ListEnv env;
        CourseWindow w(env, 12);
        CLCListModel* m = w.list->List();
        w.Click(2);
        QCOMPARE(m->SelectedCount(), 1);
        QCOMPARE(w.LastSelectChanged()->wParam, 1);
        QCOMPARE(w.LastSelectChanged()->lParam, int64_t{m->RowAt(2)->record.nStatus});
        QCOMPARE(w.win.Count("itemclick"), 1);
        // Shift-click the fourth row below: five rows, and no single status to report.
        w.Click(6, Qt::ShiftModifier);
        QCOMPARE(m->SelectedCount(), 5);
        QCOMPARE(w.LastSelectChanged()->wParam, 5);
        QCOMPARE(w.LastSelectChanged()->lParam, -1);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(m->IsSelected(i), i >= 2 && i <= 6);
        // Ctrl toggles one row and keeps the rest.
        w.Click(4, Qt::ControlModifier);
        QCOMPARE(m->SelectedCount(), 4);
        QVERIFY(!m->IsSelected(4));
        w.Click(9, Qt::ControlModifier);
        QCOMPARE(m->SelectedCount(), 5);
        QVERIFY(m->IsSelected(9));
        // A plain click replaces the selection; Shift upwards from the new anchor.
        w.Click(8);
        QCOMPARE(m->SelectedCount(), 1);
        w.Click(5, Qt::ShiftModifier);
        QCOMPARE(m->SelectedIndexes(), (std::vector<std::string>{"idx-5", "idx-6", "idx-7", "idx-8"}));
        // With multi-selection off, modifiers do not extend.
        w.list->SetMultiSelect(false);
        w.Click(1, Qt::ShiftModifier);
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-1"});
    }

    void arrowsHomeAndEndMoveTheSelectionAndShiftExtendsIt()
    {
        ListEnv env;
        CourseWindow w(env, 12);
        CLCListModel* m = w.list->List();
        w.list->setFocus();
        QTest::keyClick(w.list, Qt::Key_Down); // nothing selected yet: the first row
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-0"});
        w.Click(2);
        QTest::keyClick(w.list, Qt::Key_Down);
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-3"});
        QTest::keyClick(w.list, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(w.list, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(m->SelectedIndexes(), (std::vector<std::string>{"idx-3", "idx-4", "idx-5"}));
        QCOMPARE(w.LastSelectChanged()->wParam, 3);
        QTest::keyClick(w.list, Qt::Key_Up);
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-4"});
        QTest::keyClick(w.list, Qt::Key_End);
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-11"});
        QTest::keyClick(w.list, Qt::Key_Down); // stays on the last row
        QCOMPARE(m->SelectedIndexes(), std::vector<std::string>{"idx-11"});
        QTest::keyClick(w.list, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(m->SelectedCount(), 12);
    }

    void ctrlAAndDeleteActOnlyOnVisibleRows()
    {
        ListEnv env;
        CourseWindow w(env, 40);
        CLCListModel* m = w.list->List();
        QVERIFY(w.list->Search(QStringLiteral("线性代数"))); // rows 7, 15, 23, 31, 39
        QCOMPARE(m->VisibleCount(), 5);
        w.list->setFocus();
        QTest::keyClick(w.list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m->SelectedCount(), 5);
        QCOMPARE(w.LastSelectChanged()->wParam, 5);
        const int before = w.win.Count("selectchanged");
        QTest::keyClick(w.list, Qt::Key_Delete);
        QCOMPARE(w.win.Count("delete"), 1);
        QCOMPARE(w.win.Count("selectchanged"), before);
        QVERIFY(env.loop.PumpUntil([&] { return !env.pipeline.messages.empty(); }, 2000));
        const LoopRecorder::Msg& msg = env.pipeline.messages.front();
        QCOMPARE(msg.id, WM_DELETE_ITEMS);
        QCOMPARE(msg.wParam, uint64_t{1});
        QCOMPARE(msg.indexes, (std::vector<std::string>{"idx-7", "idx-15", "idx-23", "idx-31", "idx-39"}));
        QCOMPARE(m->Checked(), msg.indexes);
        // A Shift range across hidden rows selects only what the search shows.
        w.Click(0);
        w.Click(4, Qt::ShiftModifier);
        QCOMPARE(m->SelectedCount(), 5);
        // The search ends: every row is back, nothing selected.
        QVERIFY(w.list->Search(QString()));
        QCOMPARE(m->VisibleCount(), 40);
        QCOMPARE(m->SelectedCount(), 0);
    }

    void deleteWithoutSelectionSendsNothing()
    {
        ListEnv env;
        CourseWindow w(env, 3);
        w.list->setFocus();
        QTest::keyClick(w.list, Qt::Key_Delete);
        QCOMPARE(w.win.Count("delete"), 0);
        env.loop.RunOnce(50);
        QVERIFY(env.pipeline.messages.empty());
    }

    void courseSearchFindsChineseAndHidesRowsAddedMeanwhile()
    {
        ListEnv env;
        CourseWindow w(env, 0);
        CLCListModel* m = w.list->List();
        QVERIFY(w.list->Add(MakeRecord(1, "第一课 函数.mp4"), true));
        QVERIFY(w.list->Add(MakeRecord(2, "第二课 极限.MP4"), true));
        QVERIFY(w.list->Add(MakeRecord(3, "Lecture ÉTÉ.mp4"), true));
        QVERIFY(w.list->Search(QStringLiteral("第一")));
        QCOMPARE(m->VisibleCount(), 1);
        QVERIFY(m->IsSearching());
        QVERIFY(w.list->Search(QStringLiteral("mp4")));
        QCOMPARE(m->VisibleCount(), 3);
        QVERIFY(w.list->Search(QStringLiteral("été")));
        QCOMPARE(m->VisibleCount(), 1);
        QVERIFY(!w.list->Search(QStringLiteral("第三")));
        QCOMPARE(m->VisibleCount(), 0);
        // A file added while the search is on waits hidden, even when it would match.
        m->AddRecord(MakeRecord(4, "第三课 导数.mp4"), true);
        QCOMPARE(m->VisibleCount(), 0);
        QVERIFY(m->Find("idx-4"));
        m->SetSearching(false);
        QCOMPARE(m->VisibleCount(), 4);
    }

    void convertedSearchUsesTheConvertedName()
    {
        ListEnv env;
        CListRecorder win;
        auto* list = new CConverDoneListUI(&win);
        win.Watch(list);
        list->SetContext(env.Context());
        QVERIFY(!list->Search(QStringLiteral("x"))); // an empty list: false at once
        _sLCItemData a = MakeRecord(1, "source.mp4", CS_UPLOADED);
        a.strConvertPath = "/out/idx-1/高等数学_Lecture.flv";
        _sLCItemData b = MakeRecord(2, "高等数学.mp4", CS_WAIT_UPLOAD);
        b.strConvertPath = "/out/idx-2/b.flv";
        QVERIFY(list->Add(a, true));
        QVERIFY(list->Add(b, true));
        QVERIFY(!list->Add(b, true)); // same file index
        QCOMPARE(list->List()->Find("idx-1")->strConvertName, std::string("高等数学_Lecture.flv"));
        QVERIFY(list->Search(QStringLiteral("LECTURE")));
        QCOMPARE(list->List()->VisibleCount(), 1);
        QCOMPARE(list->List()->RowAt(0)->record.strFileIndex, std::string("idx-1"));
        QVERIFY(list->Search(QStringLiteral("高等数学")));
        QCOMPARE(list->List()->VisibleCount(), 1); // b's converted name is b.flv
        list->Search(QString());
        QCOMPARE(list->List()->VisibleCount(), 2);
    }

    void contextMenuEntriesFollowTheSelection()
    {
        ListEnv env;
        CourseWindow w(env, 5);
        w.Click(3, Qt::NoModifier, Qt::RightButton);
        QVERIFY(w.list->OpenMenu());
        QCOMPARE(w.list->OpenMenu()->Entries(), CVXMenuWnd::EntryNames(0x300));
        QCOMPARE(w.list->MenuFileIndex(), std::string("idx-3"));
        w.list->OpenMenu()->close();
        w.Click(3);
        w.Click(3, Qt::NoModifier, Qt::RightButton);
        QCOMPARE(w.list->OpenMenu()->Entries(), CVXMenuWnd::EntryNames(0x302));
        w.Click(1, Qt::ControlModifier);
        w.Click(3, Qt::NoModifier, Qt::RightButton);
        QCOMPARE(w.list->OpenMenu()->Entries(), CVXMenuWnd::EntryNames(0x002));
        // "删除" deletes the selected rows, as the Delete key does.
        QVERIFY(ClickControl(w.list->OpenMenu(), QStringLiteral("delete")));
        QVERIFY(QTest::qWaitFor(
            [&] {
                env.loop.RunOnce(10);
                return !env.pipeline.messages.empty();
            },
            2000));
        QCOMPARE(env.pipeline.messages.front().id, WM_DELETE_ITEMS);
        QCOMPARE(env.pipeline.messages.front().indexes, (std::vector<std::string>{"idx-1", "idx-3"}));

        CListRecorder win;
        auto* done = new CConverDoneListUI(&win);
        win.Watch(done);
        done->SetContext(env.Context());
        for (const _sLCItemData& r : MixedRecords(3))
            done->Add(r, true);
        win.resize(900, 200);
        done->setGeometry(win.rect());
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        const QPoint at = done->visualRect(done->model()->index(1, 0)).center();
        QTest::mouseClick(done->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QCOMPARE(done->OpenMenu()->Entries(), CVXMenuWnd::EntryNames(0x0C0));
        QTest::mouseClick(done->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseClick(done->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QCOMPARE(done->OpenMenu()->Entries(), CVXMenuWnd::EntryNames(0x0C2));
        done->OpenMenu()->close();
    }

    void rowLookComesFromPropertiesAndTheMouse()
    {
        ListEnv env;
        CourseWindow w(env, 6);
        QVERIFY(w.exposed);
        // Colours as a form sets them.
        QVERIFY(w.list->setProperty("itemAlterColor", QColor(1, 2, 3)));
        QVERIFY(w.list->setProperty("itemHotBkColor", QColor(4, 5, 6)));
        QVERIFY(w.list->setProperty("itemSelectedBkColor", QColor(7, 8, 9)));
        QVERIFY(w.list->setProperty("itemMulSelect", false));
        QVERIFY(!w.list->MultiSelect());
        QCOMPARE(w.list->RowBackground(1), QColor(1, 2, 3));
        QTest::mouseMove(w.list->viewport(), w.list->visualRect(w.list->model()->index(3, 0)).center());
        QTRY_COMPARE(w.list->HotRow(), 3);
        QCOMPARE(w.list->RowBackground(3), QColor(4, 5, 6));
        w.Click(3);
        QCOMPARE(w.list->RowBackground(3), QColor(7, 8, 9));
        // The media-error icon of a failed probe explains itself; the rest of the row shows
        // the row's own tooltip.
        _sLCItemData r = MakeRecord(100, "坏文件.mp4", CS_MEDIA_FAILED);
        r.nMediaError = -1;
        QVERIFY(w.list->Add(r, true));
        const QModelIndex idx = w.list->model()->index(6, 0);
        const QRect row = w.list->visualRect(idx);
        const QRect icon = CLCListDelegate::MediaErrorRect(w.list->ColumnRects(row)[CLCListView::kName], row);
        QHelpEvent over(QEvent::ToolTip, icon.center(), w.list->viewport()->mapToGlobal(icon.center()));
        QApplication::sendEvent(w.list->viewport(), &over);
        QTRY_COMPARE(QToolTip::text(), QString::fromStdString(env.config->GetText(2025)));
        QToolTip::hideText();
        w.list->List()->SetTooltip("idx-100", "原因");
        const QPoint mid = row.center();
        QHelpEvent elsewhere(QEvent::ToolTip, mid, w.list->viewport()->mapToGlobal(mid));
        QApplication::sendEvent(w.list->viewport(), &elsewhere);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("原因"));
        QToolTip::hideText();
    }

    void aReportRepaintsOnlyItsRow()
    {
        // With thousands of rows and a hundred reports a second, a report must not repaint
        // the whole list.
        struct PaintSpy : QObject
        {
            std::vector<QRect> rects;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Paint)
                    rects.push_back(static_cast<QPaintEvent*>(e)->rect());
                return false;
            }
        } spy;
        ListEnv env;
        CourseWindow w(env, 200);
        QVERIFY(w.exposed);
        QTest::qWait(50);
        w.list->viewport()->installEventFilter(&spy);
        _sTransReport rep;
        rep.i64FileId = 5;
        rep.strFileIndex = "idx-8"; // uploading in MixedRecords
        rep.i64Pos = 10;
        rep.nCode = TR_PROGRESS;
        QCOMPARE(w.list->List()->Find("idx-8")->nStatus, CS_UPLOADING);
        CMemConvertedList converted;
        ListPipeline p(env, *w.list->List(), converted);
        p.Send(rep);
        QTRY_VERIFY(!spy.rects.empty());
        QApplication::processEvents();
        for (const QRect& r : spy.rects)
            QCOMPARE(r, w.list->visualRect(w.list->model()->index(8, 0)) & w.list->viewport()->rect());
        w.list->viewport()->removeEventFilter(&spy);
    }

    void speedTexts()
    {
        QCOMPARE(SpeedText(0), QStringLiteral("0B/S"));
        QCOMPARE(SpeedText(1024), QStringLiteral("1024B/S"));
        QCOMPARE(SpeedText(1536), QStringLiteral("1.50KB/S"));
        QCOMPARE(SpeedText(1024 * 1024), QStringLiteral("1024.00KB/S"));
        QCOMPARE(SpeedText(3145728), QStringLiteral("3.00MB/S"));
    }

    void screenshotsOfBothListsFull()
    {
        ListEnv env;
        CourseWindow w(env, 300);
        w.Click(1);
        w.Click(3, Qt::ShiftModifier);
        QTest::mouseMove(w.list->viewport(), w.list->visualRect(w.list->model()->index(6, 0)).center());
        QTest::qWait(20);
        QVERIFY(w.list->verticalScrollBar()->isVisible());
        VX_SCREENSHOT(&w.win, QStringLiteral("course_list"));

        CListRecorder win;
        auto* done = new CConverDoneListUI(&win);
        win.Watch(done);
        done->SetContext(env.Context());
        std::vector<_sLCItemData> recs = MixedRecords(300);
        for (_sLCItemData& r : recs) {
            r.nStatus = r.nStatus >= 13 ? CS_UPLOADED : r.nStatus < 8 ? CS_WAIT_UPLOAD : r.nStatus;
            done->Add(r, true);
        }
        done->SortBy(CConverDoneListModel::kColTime, true);
        win.resize(1000, 420);
        done->setGeometry(win.rect());
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        QTest::qWait(20);
        QVERIFY(done->verticalScrollBar()->isVisible());
        VX_SCREENSHOT(&win, QStringLiteral("converted_list"));
    }
};

VX_REGISTER_QTEST(ListSelectionTest);
#include "ListSelectionTest.moc"
