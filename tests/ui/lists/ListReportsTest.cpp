// The course list applying conversion and transfer reports (status, texts, tooltips, progress,
// speed), the rename the file server asks for, sorting with its stored choice, the converted
// list's deletion of conversion output, and the duplicate rules. Real SQLite file, real files.

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

std::string Text(ListEnv& env, int n)
{
    return env.config->GetText(n);
}

int32_t StoredStatus(ListEnv& env, const std::string& idx)
{
    std::vector<_sLCItemData> rows;
    env.db->GetCourseFile(env.config->m_i64UserId, &rows);
    for (const _sLCItemData& r : rows)
        if (r.strFileIndex == idx)
            return r.nStatus;
    return -1;
}

void WriteFile(const std::string& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray ReadFile(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

_sTransReport Trans(const std::string& idx, int8_t code, int64_t pos, int32_t interval = 0)
{
    _sTransReport t;
    t.i64FileId = 900;
    t.strFileIndex = idx;
    t.i64Pos = pos;
    t.nInterval = interval;
    t.nCode = code;
    return t;
}

} // namespace

class ListReportsTest : public QObject
{
    Q_OBJECT

private slots:
    void everyConversionCodeSetsStatusAndText()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        std::vector<int> codes = {2, 1, 0, -15, -100};
        for (int c = -1; c >= -14; --c)
            codes.push_back(c);
        for (size_t i = 0; i < codes.size(); ++i) {
            _sLCItemData r =
                MakeRecord(static_cast<int>(i), "课程" + std::to_string(i) + ".mp4", CS_CONVERT_QUEUED);
            QVERIFY(list->Add(r, true));
            env.db->SaveCourseFiles({r}, env.config->m_i64UserId);
            _sConvertReport rep;
            rep.strFileIndex = r.strFileIndex;
            rep.nCode = static_cast<int8_t>(codes[i]);
            rep.nValue = 100; // a progress of 100 before the end still shows 99
            if (codes[i] == 1)
                rep.strOutPath = "/out/" + r.strFileIndex + "/课程.flv";
            list->UpdateItemByCvrtInfo(rep);
            const ListRow* row = list->List()->FindRow(r.strFileIndex);
            const int code = codes[i];
            if (code == 2) {
                QCOMPARE(row->record.nStatus, CS_CONVERTING);
                QCOMPARE(row->record.nProgress, 99);
                QVERIFY(row->tooltip.empty());
                continue;
            }
            if (code == 1) {
                QCOMPARE(row->record.nStatus, CS_CONVERTED);
                QCOMPARE(row->record.nProgress, 100);
                QCOMPARE(row->record.strConvertName, std::string("课程.flv"));
                QCOMPARE(row->record.strModifyTime.size(), size_t{19});
                QCOMPARE(StoredStatus(env, r.strFileIndex), CS_CONVERTED);
                continue;
            }
            QCOMPARE(row->record.nStatus, CS_CONVERT_FAILED);
            QCOMPARE(StoredStatus(env, r.strFileIndex), CS_CONVERT_FAILED);
            const int textNo = ConvertFailTextNo(code);
            QVERIFY(textNo != 0); // a failure always says why
            const std::string expect =
                Text(env, 2264) + "\"" + r.strFileName + "\" " + Text(env, 2263) + Text(env, textNo) + "\n";
            QCOMPARE(row->tooltip, expect);
            QCOMPARE(list->List()->data(list->List()->index(row->viewRow), Qt::ToolTipRole).toString(),
                     QString::fromStdString(expect));
        }
        QCOMPARE(ConvertFailTextNo(-12), 2273);
        // Reports for unknown records, and a late one for a stopped conversion, change nothing.
        _sConvertReport stray;
        stray.strFileIndex = "nope";
        stray.nCode = 1;
        list->UpdateItemByCvrtInfo(stray);
        _sLCItemData stopped = MakeRecord(99, "stopped.mp4", CS_CONVERT_STOPPED);
        list->Add(stopped, true);
        stray.strFileIndex = stopped.strFileIndex;
        stray.nCode = 2;
        stray.nValue = 40;
        list->UpdateItemByCvrtInfo(stray);
        QCOMPARE(list->List()->Find("idx-99")->nStatus, CS_CONVERT_STOPPED);
        QCOMPARE(list->List()->Find("idx-99")->nProgress, 0);
    }

    void everyTransferCodeSetsStatusAndText()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        const std::vector<int> codes = {-101, -102, -103, -104, -106, -107, -108, -109, -110, 0, 5};
        for (size_t i = 0; i < codes.size(); ++i) {
            _sLCItemData r =
                MakeRecord(static_cast<int>(i), "上传" + std::to_string(i) + ".flv", CS_UPLOADING);
            r.i64FileEnd = 1000;
            QVERIFY(list->Add(r, true));
            env.db->SaveCourseFiles({r}, env.config->m_i64UserId);
            list->UpdateItemByTransInfo(Trans(r.strFileIndex, static_cast<int8_t>(codes[i]), 500));
            const ListRow* row = list->List()->FindRow(r.strFileIndex);
            QCOMPARE(row->record.nStatus, CS_UPLOAD_FAILED);
            QCOMPARE(StoredStatus(env, r.strFileIndex), CS_UPLOAD_FAILED);
            QCOMPARE(row->record.i64FileId, int64_t{900});
            const int textNo = UploadFailTextNo(codes[i]);
            if (textNo == 0) {
                QVERIFY(row->tooltip.empty());
                QCOMPARE(row->record.nProgress, 50);
            } else {
                QCOMPARE(row->tooltip, Text(env, 2272) + "\"" + r.strFileName + "\"" + Text(env, 2263) +
                                           Text(env, textNo) + "\n");
                QCOMPARE(row->record.nProgress, 0);
            }
        }
        // Queued -> uploading on the first progress report; the end of the file shows 99 % and
        // no speed until the result sets 100 % and uploaded.
        _sLCItemData up = MakeRecord(50, "end.flv", CS_UPLOAD_QUEUED);
        up.i64FileEnd = 1000;
        list->Add(up, true);
        env.db->SaveCourseFiles({up}, env.config->m_i64UserId);
        list->List()->SetTooltip("idx-50", "old failure");
        list->UpdateItemByTransInfo(Trans("idx-50", TR_PROGRESS, 1000, 4096));
        const ListRow* row = list->List()->FindRow("idx-50");
        QCOMPARE(row->record.nStatus, CS_UPLOADING);
        QCOMPARE(row->record.nProgress, 99);
        QCOMPARE(row->record.nSpeed, 0);
        QVERIFY(row->tooltip.empty());
        list->UpdateItemByTransInfo(Trans("idx-50", TR_UPLOADED, 1000));
        QCOMPARE(row->record.nStatus, CS_UPLOADED);
        QCOMPARE(row->record.nProgress, 100);
        QCOMPARE(StoredStatus(env, "idx-50"), CS_UPLOADED);
        // A paused record ignores a late report.
        _sLCItemData paused = MakeRecord(51, "paused.flv", CS_UPLOAD_PAUSED);
        list->Add(paused, true);
        list->UpdateItemByTransInfo(Trans("idx-51", TR_UPLOADED, 1000));
        QCOMPARE(list->List()->Find("idx-51")->nStatus, CS_UPLOAD_PAUSED);
    }

    void speedComesFromIntervalBytesOverTimeBetweenReports()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        int64_t now = 10000;
        list->List()->SetClock([&now] { return now; });
        _sLCItemData r = MakeRecord(1, "speed.flv", CS_UPLOAD_QUEUED);
        r.i64FileEnd = 100 * 1024 * 1024;
        list->Add(r, true);
        _sLCItemData other = MakeRecord(2, "other.flv", CS_UPLOADING);
        other.i64FileEnd = r.i64FileEnd;
        list->Add(other, true);
        list->UpdateItemByTransInfo(Trans("idx-1", TR_PROGRESS, 0, 0));
        QCOMPARE(list->List()->Find("idx-1")->nSpeed, 0);
        now += 250; // another file's report in between does not disturb this file's clock
        list->UpdateItemByTransInfo(Trans("idx-2", TR_PROGRESS, 0, 0));
        now += 250;
        list->UpdateItemByTransInfo(Trans("idx-1", TR_PROGRESS, 786432, 786432));
        QCOMPARE(list->List()->Find("idx-1")->nSpeed, 1572864); // 768 KiB in 0.5 s
        now += 2000;
        list->UpdateItemByTransInfo(Trans("idx-1", TR_PROGRESS, 786432 + 3072, 3072));
        QCOMPARE(list->List()->Find("idx-1")->nSpeed, 1536);
    }

    void renameOnRefusedName()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        env.config->m_setData.nUinfo = 0;
        env.config->m_setData.strTimeStamp = "_v2";
        // Success: x.flv -> x_v2.flv, waiting for the upload again, timer 103 in 3 s.
        const std::string flv = env.Path("out/idx-1/第一课.flv");
        WriteFile(flv, "flv data");
        _sLCItemData a = MakeRecord(1, "第一课.mp4", CS_UPLOADING);
        a.strConvertPath = flv;
        a.nTransTimes = 3;
        list->Add(a, true);
        env.db->SaveCourseFiles({a}, env.config->m_i64UserId);
        list->UpdateItemByTransInfo(Trans("idx-1", -105, 0));
        const _sLCItemData* ra = list->List()->Find("idx-1");
        QCOMPARE(ra->strConvertPath, env.Path("out/idx-1/第一课_v2.flv"));
        QCOMPARE(ReadFile(ra->strConvertPath), QByteArray("flv data"));
        QVERIFY(!QFile::exists(QString::fromStdString(flv)));
        QCOMPARE(ra->nStatus, CS_WAIT_UPLOAD);
        QCOMPARE(ra->nTransTimes, 0);
        QCOMPARE(StoredStatus(env, "idx-1"), CS_WAIT_UPLOAD);
        QVERIFY(env.loop.PumpUntil([&] { return !env.pipeline.messages.empty(); }, 5000));
        QCOMPARE(env.pipeline.messages.front().id, WM_TIMER);
        QCOMPARE(env.pipeline.messages.front().wParam, uint64_t{TIMER_TRANS_PENDING});
        env.loop.KillTimer(env.target, TIMER_TRANS_PENDING);

        // The compound extension stays whole, and a file already holding the new name is
        // replaced.
        const std::string asc = env.Path("out/idx-2/lecture.asc.flv");
        WriteFile(asc, "new");
        WriteFile(env.Path("out/idx-2/lecture_v2.asc.flv"), "stale");
        _sLCItemData b = MakeRecord(2, "lecture.mp4", CS_UPLOAD_QUEUED);
        b.strConvertPath = asc;
        list->Add(b, true);
        list->UpdateItemByTransInfo(Trans("idx-2", -105, 0));
        QCOMPARE(list->List()->Find("idx-2")->strConvertPath, env.Path("out/idx-2/lecture_v2.asc.flv"));
        QCOMPARE(ReadFile(env.Path("out/idx-2/lecture_v2.asc.flv")), QByteArray("new"));

        // Both attempts fail (the file is gone): upload failed with the reason.
        _sLCItemData c = MakeRecord(3, "missing.mp4", CS_UPLOADING);
        c.strConvertPath = env.Path("out/idx-3/missing.flv");
        list->Add(c, true);
        env.db->SaveCourseFiles({c}, env.config->m_i64UserId);
        list->UpdateItemByTransInfo(Trans("idx-3", -105, 0));
        const ListRow* rc = list->List()->FindRow("idx-3");
        QCOMPARE(rc->record.nStatus, CS_UPLOAD_FAILED);
        QCOMPARE(rc->record.strConvertPath, c.strConvertPath);
        QCOMPARE(rc->tooltip,
                 Text(env, 2272) + "\"missing.mp4\"" + Text(env, 2263) + Text(env, kRenameFailedText) + "\n");
        QCOMPARE(StoredStatus(env, "idx-3"), CS_UPLOAD_FAILED);

        // With the time-stamp option the marker is today's date followed by a clock figure.
        env.config->m_setData.nUinfo = kOptTimeStamp;
        const std::string d = env.Path("out/idx-4/d.flv");
        WriteFile(d, "d");
        _sLCItemData e = MakeRecord(4, "d.mp4", CS_UPLOADING);
        e.strConvertPath = d;
        list->Add(e, true);
        QVERIFY(list->ReNameCourseFile("idx-4"));
        const QString renamed = QString::fromStdString(list->List()->Find("idx-4")->strConvertPath);
        QVERIFY2(renamed.contains(QDate::currentDate().toString("yyyyMMdd")), qPrintable(renamed));
        QVERIFY(renamed.endsWith(".flv"));
        QVERIFY(!list->ReNameCourseFile("no-such-index"));
    }

    void everySortColumnBothWaysAndItsStoredChoice()
    {
        ListEnv env;
        std::vector<_sLCItemData> recs = MixedRecords(24);
        {
            CNotifyRecorder win;
            auto* list = new CLCListView(&win);
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
            CNotifyRecorder win;
            auto* done = new CConverDoneListUI(&win);
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
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        auto* done = new CConverDoneListUI(&win);
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

    void duplicatesAreRefused()
    {
        CLCListModel list;
        _sLCItemData a = MakeRecord(1, "a.mp4");
        a.i64FileId = 77;
        a.strMd5 = "0123456789ABCDEF0123456789ABCDEF";
        QVERIFY(list.Add(a, true));
        _sLCItemData sameId = MakeRecord(2, "b.mp4");
        sameId.i64FileId = 77;
        QVERIFY(!list.Add(sameId, true));
        _sLCItemData sameMd5 = MakeRecord(3, "c.mp4");
        sameMd5.strMd5 = a.strMd5;
        QVERIFY(!list.Add(sameMd5, true));
        QVERIFY(!list.Add(MakeRecord(1, "same index.mp4"), true));
        // No file id and no digest: always taken.
        QVERIFY(list.Add(MakeRecord(4, "a.mp4"), true));
        QVERIFY(list.Add(MakeRecord(5, "a.mp4"), true));
        // A digest learnt later through the pipeline's pointer counts at the next add.
        list.Find("idx-4")->strMd5 = "FEDCBA9876543210FEDCBA9876543210";
        list.Changed("idx-4");
        _sLCItemData later = MakeRecord(6, "d.mp4");
        later.strMd5 = "FEDCBA9876543210FEDCBA9876543210";
        QVERIFY(!list.Add(later, true));
        // Removing the holder frees its digest.
        QVERIFY(list.Remove("idx-4"));
        QVERIFY(list.Add(later, true));
        // Records in a status range never include uploaded ones.
        _sLCItemData done = MakeRecord(7, "done.mp4", CS_UPLOADED);
        list.Add(done, true);
        QCOMPARE(list.RecordsInRange(1, 15).size(), size_t{3});
        QCOMPARE(list.RecordsInRange(2, 2).size(), size_t{3});
        QCOMPARE(list.RecordsInRange(3, 14).size(), size_t{0});
    }

    void removeAllStoresUnfinishedRecords()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
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

    void selectedRowChangingStatusNotifies()
    {
        ListEnv env;
        CNotifyRecorder win;
        auto* list = new CLCListView(&win);
        list->SetContext(env.Context());
        _sLCItemData a = MakeRecord(1, "a.mp4", CS_CONVERT_QUEUED);
        list->Add(a, true);
        list->Add(MakeRecord(2, "b.mp4", CS_CONVERT_QUEUED), true);
        list->List()->ItemClick(0, false, false);
        _sConvertReport rep;
        rep.strFileIndex = "idx-1";
        rep.nCode = CR_PROGRESS;
        rep.nValue = 10;
        list->UpdateItemByCvrtInfo(rep);
        QCOMPARE(win.Count("statechanged"), 1);
        QCOMPARE(win.messages.back().sType, QStringLiteral("selectchanged"));
        QCOMPARE(win.messages.back().lParam, int64_t{CS_CONVERTING});
        list->UpdateItemByCvrtInfo(rep); // same status: nothing new
        QCOMPARE(win.Count("statechanged"), 1);
        rep.strFileIndex = "idx-2"; // not selected
        list->UpdateItemByCvrtInfo(rep);
        QCOMPARE(win.Count("statechanged"), 1);
    }
};

VX_REGISTER_QTEST(ListReportsTest);
#include "ListReportsTest.moc"
