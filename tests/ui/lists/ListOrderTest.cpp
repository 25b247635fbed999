// Sorting with its stored choice, the converted list's deletion of conversion output, the
// duplicate rules and storing at the end. Real SQLite file, real files. (The reports reach the
// lists through the pipeline: ListPipelineTest.)

#include "ListFixture.h"
#include "foundation/Recorder.h"
#include "foundation/TestRegistry.h"
#include "pipeline/PipelineMessages.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCCheckBox.h"
#include "ui/lists/LCListView.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace vx;
using namespace vx::test;

namespace {

void WriteFile(const std::string& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

class ListOrderTest : public QObject
{
    Q_OBJECT

private slots:
    void everySortColumnBothWaysAndItsStoredChoice()
    {
        ListEnv env;
        std::vector<_sLCItemData> recs = MixedRecords(24);
        {
            CListRecorder win;
            auto* list = new CLCListView(&win);
            win.Watch(list);
            list->SetContext(env.Context());
            for (const _sLCItemData& r : recs)
                list->Add(r, true);
            CLCListModel* m = list->List();
            auto sorted = [m](auto key, bool desc) {
                for (int i = 1; i < m->VisibleCount(); ++i) {
                    const auto a = key(m->RowAt(i - 1)->record);
                    const auto b = key(m->RowAt(i)->record);
                    if (desc ? a < b : b < a)
                        return false;
                }
                return true;
            };
            auto name = [](const _sLCItemData& r) { return r.strFileName; };
            auto size = [](const _sLCItemData& r) { return r.i64FileSize; };
            auto status = [](const _sLCItemData& r) { return r.nStatus; };
            for (bool desc : {false, true}) {
                list->SortBy(CLCListModel::kColName, desc);
                QVERIFY(sorted(name, desc));
                list->SortBy(CLCListModel::kColSize, desc);
                QVERIFY(sorted(size, desc));
                list->SortBy(CLCListModel::kColStatus, desc);
                QVERIFY(sorted(status, desc));
            }
            // A real click on the size header turns its direction and sorts that way.
            win.resize(1000, 300);
            list->setGeometry(win.rect());
            win.show();
            QVERIFY(QTest::qWaitForWindowExposed(&win));
            list->List()->ItemClick(0, false, false);
            CLCCheckBox* header = list->Header(CLCListModel::kColSize);
            QVERIFY(header->IsSelected()); // descending from the last SortBy
            QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, header->rect().center());
            QVERIFY(!header->IsSelected());
            QVERIFY(sorted(size, false));
            QCOMPARE(m->SelectedCount(), 0); // sorting clears the selection
            QCOMPARE(win.messages.back().sType, QStringLiteral("selectchanged"));
            QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, header->rect().center());
            QVERIFY(header->IsSelected());
            QVERIFY(sorted(size, true));
            QCOMPARE(list->SortColumn(), int(CLCListModel::kColSize));
            list->SortBy(CLCListModel::kColName, true);
        }
        {
            // The converted list sorts by its own six columns.
            CListRecorder win;
            auto* done = new CConverDoneListUI(&win);
            win.Watch(done);
            done->SetContext(env.Context());
            for (const _sLCItemData& r : recs)
                done->Add(r, true);
            CConverDoneListModel* m = done->List();
            auto check = [m](int col, bool desc, auto key) {
                m->Sort(col, desc);
                for (int i = 1; i < m->VisibleCount(); ++i) {
                    const auto a = key(m->RowAt(i - 1)->record);
                    const auto b = key(m->RowAt(i)->record);
                    if (desc ? a < b : b < a)
                        return false;
                }
                return true;
            };
            for (bool desc : {false, true}) {
                QVERIFY(check(1, desc, [](const _sLCItemData& r) { return r.strConvertName; }));
                QVERIFY(check(2, desc, [](const _sLCItemData& r) { return r.nStatus; }));
                QVERIFY(check(3, desc, [](const _sLCItemData& r) { return r.i64FileEnd; }));
                QVERIFY(check(4, desc, [](const _sLCItemData& r) { return r.miData.nDuration[MI_GENERAL]; }));
                QVERIFY(check(5, desc, [](const _sLCItemData& r) { return r.miData.nBitRate[MI_GENERAL]; }));
                QVERIFY(check(6, desc, [](const _sLCItemData& r) { return r.strModifyTime; }));
            }
            QVERIFY(!m->Sort(7, false));
            done->SortBy(CConverDoneListModel::kColDuration, false);
        }
        // A restart: new lists, a new connection to the same file.
        env.db.reset();
        env.db = std::make_unique<CLocalDb>(env.Path("vexora_v2.0.db"));
        CListRecorder win;
        auto* list = new CLCListView(&win);
        win.Watch(list);
        list->SetContext(env.Context());
        auto* done = new CConverDoneListUI(&win);
        win.Watch(done);
        done->SetContext(env.Context());
        for (const _sLCItemData& r : recs) {
            list->Add(r, true);
            done->Add(r, true);
        }
        QVERIFY(list->RestoreSort());
        QCOMPARE(list->SortColumn(), int(CLCListModel::kColName));
        QVERIFY(list->SortDescending());
        QVERIFY(list->Header(CLCListModel::kColName)->IsSelected());
        for (int i = 1; i < list->List()->VisibleCount(); ++i)
            QVERIFY(list->List()->RowAt(i - 1)->record.strFileName >=
                    list->List()->RowAt(i)->record.strFileName);
        QVERIFY(done->RestoreSort());
        QCOMPARE(done->SortColumn(), int(CConverDoneListModel::kColDuration));
        QVERIFY(!done->SortDescending());
        // Another user has no stored choice.
        env.config->m_i64UserId = 4712;
        QVERIFY(!list->RestoreSort());
    }

    void convertedDeleteRemovesTheOutputFolderOnly()
    {
        ListEnv env;
        CConverDoneListModel list;
        const std::string source = env.Path("course/第一课.mp4");
        WriteFile(source, "source");
        const std::string out = env.Path("VexoraTemp/idx-1/第一课.flv");
        WriteFile(out, "flv");
        WriteFile(env.Path("VexoraTemp/idx-1/middle.ts"), "leftover");
        WriteFile(env.Path("VexoraTemp/idx-2/other.flv"), "other");
        _sLCItemData a = MakeRecord(1, "第一课.mp4", CS_UPLOADED);
        a.strFilePath = source;
        a.strConvertPath = out;
        QVERIFY(list.AddRecord(a, true));
        QCOMPARE(CConverDoneListModel::OutputFolderOf(a), env.Path("VexoraTemp/idx-1"));
        QVERIFY(list.Remove("idx-1"));
        QVERIFY(!QDir(QString::fromStdString(env.Path("VexoraTemp/idx-1"))).exists());
        QVERIFY(QFile::exists(QString::fromStdString(source)));
        QVERIFY(QFile::exists(QString::fromStdString(env.Path("VexoraTemp/idx-2/other.flv"))));
        QVERIFY(!list.Find("idx-1"));
        // A record uploaded straight from its source never takes the source's folder along.
        _sLCItemData b = MakeRecord(2, "doc.pdf", CS_UPLOADED);
        b.strFilePath = source;
        b.strConvertPath = source;
        list.AddRecord(b, true);
        QVERIFY(list.Remove("idx-2"));
        QVERIFY(QFile::exists(QString::fromStdString(source)));
        // An output path without the file index is left alone.
        _sLCItemData c = MakeRecord(3, "x.mp4", CS_UPLOADED);
        c.strConvertPath = env.Path("VexoraTemp/idx-2/other.flv");
        list.AddRecord(c, true);
        QVERIFY(list.Remove("idx-3"));
        QVERIFY(QFile::exists(QString::fromStdString(c.strConvertPath)));
        QVERIFY(!list.Remove("idx-3"));
    }

    void oneRowPerFileIndex()
    {
        CLCListModel list;
        _sLCItemData a = MakeRecord(1, "a.mp4");
        a.i64FileId = 77;
        a.strMd5 = "0123456789ABCDEF0123456789ABCDEF";
        QVERIFY(list.Add(a, true));
        QVERIFY(!list.Add(MakeRecord(1, "same index.mp4"), true));
        _sLCItemData noIndex = MakeRecord(9, "none.mp4");
        noIndex.strFileIndex.clear();
        QVERIFY(!list.Add(noIndex, true));
        // The same remote file or the same content in another record: a record of its own (a
        // copy put into another folder), never left out of the list.
        _sLCItemData sameId = MakeRecord(2, "b.mp4");
        sameId.i64FileId = 77;
        QVERIFY(list.Add(sameId, true));
        _sLCItemData sameMd5 = MakeRecord(3, "c.mp4");
        sameMd5.strMd5 = a.strMd5;
        QVERIFY(list.Add(sameMd5, true));
        // A batch takes each index once.
        list.AddRecords({MakeRecord(4, "d.mp4"), MakeRecord(4, "d again.mp4"), MakeRecord(2, "b.mp4")}, true);
        QCOMPARE(list.Indexes().size(), size_t{4});
        QCOMPARE(list.Find("idx-4")->strFileName, std::string("d.mp4"));
        // Removing a row frees its index.
        QVERIFY(list.Remove("idx-4"));
        QVERIFY(list.Add(MakeRecord(4, "d.mp4"), true));
        // Records in a status range never include uploaded ones.
        _sLCItemData done = MakeRecord(7, "done.mp4", CS_UPLOADED);
        list.Add(done, true);
        QCOMPARE(list.RecordsInRange(1, 15).size(), size_t{4});
        QCOMPARE(list.RecordsInRange(2, 2).size(), size_t{4});
        QCOMPARE(list.RecordsInRange(3, 14).size(), size_t{0});

        // After emptying (a sign-out) the same records come back at the next session start.
        list.Clear();
        QVERIFY(list.Add(a, true));
        QVERIFY(list.Add(sameMd5, true));
    }

    void removeAllStoresUnfinishedRecords()
    {
        ListEnv env;
        CListRecorder win;
        auto* list = new CLCListView(&win);
        win.Watch(list);
        list->SetContext(env.Context());
        _sLCItemData a = MakeRecord(1, "a.mp4", CS_CONVERT_QUEUED);
        env.db->SaveCourseFiles({a}, env.config->m_i64UserId);
        list->Add(a, true);
        list->List()->Find("idx-1")->nStatus = CS_CONVERTING;
        list->List()->ItemClick(0, false, false);
        list->RemoveAll();
        QCOMPARE(StoredStatus(env, "idx-1"), CS_CONVERTING);
        QCOMPARE(list->List()->Count(), size_t{0});
        QCOMPARE(win.messages.back().sType, QStringLiteral("selectchanged"));
        QCOMPARE(win.messages.back().wParam, 0);
        QCOMPARE(win.messages.back().lParam, 0);
    }
};

VX_REGISTER_QTEST(ListOrderTest);
#include "ListOrderTest.moc"
