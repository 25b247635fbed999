// Thousands of rows at once: a drop's or a restore's records added in one insertion, a delete's
// rows removed in runs, and what the views and the selection see of it. Order, visibility and
// the selection report must be what one call per record would have given.

#include "ListFixture.h"
#include "foundation/TestRegistry.h"
#include "ui/lists/ConvertedListModel.h"
#include "ui/lists/CourseListModel.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

using namespace vx;
using namespace vx::test;

namespace {

std::vector<std::string> ViewOrder(const CRecordListModel& m)
{
    std::vector<std::string> out;
    for (int i = 0; i < m.VisibleCount(); ++i)
        out.push_back(m.RowAt(i)->record.strFileIndex);
    return out;
}

std::vector<_sLCItemData> Numbered(int from, int count)
{
    std::vector<_sLCItemData> out;
    for (int n = from; n < from + count; ++n)
        out.push_back(MakeRecord(n, "第" + std::to_string(n) + "课.mp4"));
    return out;
}

} // namespace

class ListBulkTest : public QObject
{
    Q_OBJECT

private slots:
    void aBulkAddKeepsTheGivenOrderAfterTheRowsThereAndTellsTheViewOnce()
    {
        CLCListModel m;
        QListView view;
        view.setModel(&m);
        m.AddRecord(MakeRecord(1, "a.mp4"), true);
        m.AddRecord(MakeRecord(2, "b.mp4"), true);
        std::vector<_sLCItemData> batch = Numbered(100, 3000);
        // Refused inside the batch as one call per record would refuse them: an index already
        // listed and an index twice. A second record of the same content is a record of its own.
        batch.insert(batch.begin() + 10, MakeRecord(2, "again.mp4"));
        batch.push_back(batch[20]);
        _sLCItemData sameContent = MakeRecord(9000, "copy.mp4");
        batch[30].strMd5 = sameContent.strMd5 = "d41d8cd98f00b204e9800998ecf8427e";
        batch.push_back(sameContent);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        m.AddRecords(batch, true);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(reset.count(), 0); // the view keeps its scroll position
        QCOMPARE(inserted[0][1].toInt(), 2);
        QCOMPARE(inserted[0][2].toInt(), 3002);
        std::vector<std::string> expect = {"idx-1", "idx-2"};
        for (int n = 100; n < 3100; ++n)
            expect.push_back("idx-" + std::to_string(n));
        expect.push_back("idx-9000");
        QVERIFY(ViewOrder(m) == expect);
        QVERIFY(m.Indexes() == expect);
        QCOMPARE(m.Find("idx-2")->strFileName, std::string("b.mp4"));
        QCOMPARE(view.model()->rowCount(), 3003);
        QCOMPARE(view.model()->index(2500, 0).data().toString(), QStringLiteral("第2598课.mp4"));
        // Found at once: the pipeline looks up a record the moment it was added.
        QVERIFY(m.Find("idx-3099") != nullptr);
    }

    void aBulkAddDuringASearchStaysHiddenUntilItEndsInItsPlace()
    {
        CLCListModel m;
        m.AddRecords(Numbered(1, 5), true);
        QVERIFY(m.Search(QStringLiteral("第3课")));
        QCOMPARE(m.VisibleCount(), 1);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        m.AddRecords(Numbered(6, 4), true);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(m.VisibleCount(), 1);
        QCOMPARE(m.Count(), size_t{9});
        m.SetSearching(false);
        QCOMPARE(m.VisibleCount(), 9);
        QCOMPARE(ViewOrder(m).back(), std::string("idx-9"));
        QCOMPARE(ViewOrder(m)[5], std::string("idx-6"));
    }

    void aBulkRemovalKeepsTheOrderOfTheRestAndReportsTheSelectionOnce()
    {
        CLCListModel m;
        QListView view;
        view.setModel(&m);
        m.AddRecords(Numbered(0, 1000), true);
        // Selected: rows 0..99 and every tenth row after.
        m.ItemClick(0, false, false);
        m.ItemClick(99, false, true);
        for (int i = 100; i < 1000; i += 10)
            m.ItemClick(i, true, false);
        QCOMPARE(m.SelectedCount(), 190);
        std::vector<std::string> gone;
        for (int n = 0; n < 1000; ++n)
            if (n < 50 || (n >= 300 && n < 600 && n % 3 == 0) || n == 999)
                gone.push_back("idx-" + std::to_string(n));
        gone.push_back("not-listed");
        QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
        QSignalSpy selection(&m, &CRecordListModel::selectChanged);
        m.RemoveRecords(gone);
        QCOMPARE(selection.count(), 1);
        QVERIFY(removed.count() > 1); // scattered rows go in runs
        std::vector<std::string> expect;
        int selected = 0;
        for (int n = 0; n < 1000; ++n) {
            if (n < 50 || (n >= 300 && n < 600 && n % 3 == 0) || n == 999)
                continue;
            expect.push_back("idx-" + std::to_string(n));
            selected += n < 100 || n % 10 == 0;
        }
        QVERIFY(ViewOrder(m) == expect);
        QCOMPARE(m.SelectedCount(), selected);
        QCOMPARE(selection[0][0].toInt(), selected);
        QCOMPARE(view.model()->rowCount(), static_cast<int>(expect.size()));
        QVERIFY(!m.Find("idx-0"));
        QVERIFY(m.Find("idx-50"));
        // Every row, runs too many for one removal each: the list ends empty and says so.
        std::vector<std::string> rest;
        for (size_t i = 0; i < expect.size(); i += 2)
            rest.push_back(expect[i]);
        m.RemoveRecords(rest);
        QCOMPARE(static_cast<int>(m.Count()), static_cast<int>(expect.size() - rest.size()));
        QCOMPARE(ViewOrder(m).front(), expect[1]);
        m.RemoveRecords(m.Indexes());
        QCOMPARE(m.Count(), size_t{0});
        QCOMPARE(m.SelectedCount(), 0);
        QCOMPARE(view.model()->rowCount(), 0);
    }

    void theConvertedListsBulkRemovalDeletesTheOutputFoldersOffTheWindowsThread()
    {
        ListEnv env;
        CConverDoneListModel m;
        std::vector<_sLCItemData> recs;
        for (int n = 1; n <= 40; ++n) {
            _sLCItemData r = MakeRecord(n, "课" + std::to_string(n) + ".mp4", CS_WAIT_UPLOAD);
            r.strFilePath = env.Path("src/课" + std::to_string(n) + ".mp4");
            r.strConvertPath = env.Path("VexoraTemp/" + r.strFileIndex + "/课" + std::to_string(n) + ".flv");
            QDir().mkpath(QString::fromStdString(env.Path("VexoraTemp/" + r.strFileIndex)));
            QFile out(QString::fromStdString(r.strConvertPath));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("FLV");
            recs.push_back(r);
        }
        QDir().mkpath(QString::fromStdString(env.Path("src")));
        QFile src(QString::fromStdString(recs[0].strFilePath));
        QVERIFY(src.open(QIODevice::WriteOnly));
        src.write("source");
        src.close();
        m.AddRecords(recs, true);
        QCOMPARE(m.VisibleCount(), 40);
        QCOMPARE(m.RowAt(0)->record.strConvertName, std::string("课1.flv"));
        std::vector<std::string> gone;
        for (int n = 1; n <= 40; n += 2)
            gone.push_back("idx-" + std::to_string(n));
        m.RemoveRecords(gone);
        QCOMPARE(m.VisibleCount(), 20); // the rows go at once
        QVERIFY(m.WaitFoldersDeleted(30000));
        for (int n = 1; n <= 40; ++n) {
            const bool exists =
                QDir(QString::fromStdString(env.Path("VexoraTemp/idx-" + std::to_string(n)))).exists();
            QVERIFY2(exists == (n % 2 == 0), qPrintable(QString::number(n)));
        }
        QVERIFY2(QFile::exists(QString::fromStdString(recs[0].strFilePath)), "the source is never deleted");
    }
};

VX_REGISTER_QTEST(ListBulkTest);
#include "ListBulkTest.moc"
