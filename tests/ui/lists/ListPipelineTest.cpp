// The lists on the path the window really uses: the workers' reports and the delete requests go
// through the message loop to the real pipeline, which changes the lists' rows. Each report is
// also given to a pipeline on the command line's in-memory lists, which must end in the same
// status, progress, speed and text. Real SQLite file, real files, real ffmpeg and MediaInfo.

#include "ListFixture.h"
#include "common/TestUtil.h"
#include "foundation/Recorder.h"
#include "foundation/TestRegistry.h"
#include "pipeline/PipelineMessages.h"
#include "platform/Paths.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/lists/ListPaint.h"
#include "upload/FileTransThread.h"

#include <QDate>
#include <QTest>

using namespace vx;
using namespace vx::test;

namespace {

std::string Text(ListEnv& env, int n)
{
    return env.config->GetText(n);
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

_sConvertReport Convert(const std::string& idx, int code, int value, const std::string& out = "")
{
    _sConvertReport c;
    c.strFileIndex = idx;
    c.nCode = static_cast<int8_t>(code);
    c.nValue = static_cast<uint8_t>(value);
    c.strOutPath = out;
    return c;
}

// The window's lists with the pipeline on them, and beside them the command line's in-memory
// lists with a pipeline of their own; one clock times the uploads of both.
struct TwoFaces
{
    explicit TwoFaces(ListEnv& e)
        : env(e), list(new CLCListView(&win)), done(new CConverDoneListUI(&win)),
          window(env, *list->List(), *done->List()), command(env, memCourses, memConverted)
    {
        win.Watch(list);
        win.Watch(done);
        list->SetContext(env.Context());
        done->SetContext(env.Context());
        window.pipeline->Reports().SetClock([this] { return now; });
        command.pipeline->Reports().SetClock([this] { return now; });
    }
    void Add(const _sLCItemData& r)
    {
        QVERIFY(list->Add(r, true));
        memCourses.AddRecord(r, true);
        env.db->SaveCourseFiles({r}, env.config->m_i64UserId);
    }
    template <class Report> void Send(const Report& report)
    {
        window.Send(report);
        command.Send(report);
    }
    // The record as the window shows it: the course list's, else the converted list's.
    const _sLCItemData* Shown(const std::string& idx)
    {
        const _sLCItemData* r = list->List()->Find(idx);
        return r ? r : done->List()->Find(idx);
    }
    // The window's tooltip of a course row, as the view asks the model for it.
    std::string ShownTooltip(const std::string& idx)
    {
        const ListRow* row = list->List()->FindRow(idx);
        if (!row || row->viewRow < 0)
            return "<not shown>";
        return list->List()
            ->data(list->List()->index(row->viewRow), Qt::ToolTipRole)
            .toString()
            .toStdString();
    }
    // Both faces agree on everything the user sees of the record.
    void ExpectSame(const std::string& idx)
    {
        const _sLCItemData* w = Shown(idx);
        const _sLCItemData* c = memCourses.Find(idx);
        if (!c)
            c = memConverted.Find(idx);
        QVERIFY2(w && c, idx.c_str());
        QCOMPARE(w->nStatus, c->nStatus);
        QCOMPARE(w->nProgress, c->nProgress);
        QCOMPARE(w->nSpeed, c->nSpeed);
        QCOMPARE(w->strConvertName, c->strConvertName);
        if (list->List()->FindRow(idx))
            QCOMPARE(ShownTooltip(idx), memCourses.store.Tooltip(idx));
    }

    ListEnv& env;
    CListRecorder win;
    CLCListView* list;
    CConverDoneListUI* done;
    ListPipeline window;
    CMemCourseList memCourses;
    CMemConvertedList memConverted;
    ListPipeline command;
    int64_t now = 10000;
};

} // namespace

class ListPipelineTest : public QObject
{
    Q_OBJECT

private slots:
    void everyConversionCodeSetsStatusAndText()
    {
        ListEnv env;
        TwoFaces f(env);
        std::vector<int> codes = {2, 1, 0, -16, -100};
        for (int c = -1; c >= -15; --c)
            codes.push_back(c);
        for (size_t i = 0; i < codes.size(); ++i) {
            const int code = codes[i];
            _sLCItemData r =
                MakeRecord(static_cast<int>(i), "课程" + std::to_string(i) + ".mp4", CS_CONVERT_QUEUED);
            f.Add(r);
            // A progress of 100 before the end still shows 99.
            f.Send(
                Convert(r.strFileIndex, code, 100, code == 1 ? "/out/" + r.strFileIndex + "/课程.flv" : ""));
            f.ExpectSame(r.strFileIndex);
            const _sLCItemData* shown = f.Shown(r.strFileIndex);
            if (code == 2) {
                QCOMPARE(shown->nStatus, CS_CONVERTING);
                QCOMPARE(shown->nProgress, 99);
                QCOMPARE(f.ShownTooltip(r.strFileIndex), std::string());
                QCOMPARE(StoredStatus(env, r.strFileIndex), CS_CONVERTING); // the first report is stored
                continue;
            }
            if (code == 1) {
                QCOMPARE(shown->nStatus, CS_CONVERTED);
                QCOMPARE(shown->nProgress, 100);
                QCOMPARE(shown->strConvertName, std::string("课程.flv"));
                QCOMPARE(shown->strModifyTime.size(), size_t{19});
                QCOMPARE(StoredStatus(env, r.strFileIndex), CS_CONVERTED);
                // The converted list shows it too, under its output name.
                const _sLCItemData* e = f.done->List()->Find(r.strFileIndex);
                QVERIFY(e);
                QCOMPARE(e->strConvertPath, "/out/" + r.strFileIndex + "/课程.flv");
                continue;
            }
            QCOMPARE(shown->nStatus, CS_CONVERT_FAILED);
            QCOMPARE(StoredStatus(env, r.strFileIndex), CS_CONVERT_FAILED);
            const int textNo = ConvertFailTextNo(code);
            QVERIFY(textNo != 0); // a failure always says why
            QCOMPARE(f.ShownTooltip(r.strFileIndex), Text(env, 2264) + "\"" + r.strFileName + "\" " +
                                                         Text(env, 2263) + Text(env, textNo) + "\n");
            QCOMPARE(f.list->StatusText(shown->nStatus), QString::fromStdString(Text(env, StatusTextNo(4))));
        }
        QCOMPARE(ConvertFailTextNo(-12), 2273);
        // Reports for unknown records, and a late one for a stopped conversion, change nothing.
        f.Send(Convert("nope", 1, 100, "/out/nope.flv"));
        QVERIFY(!f.Shown("nope"));
        f.Add(MakeRecord(99, "stopped.mp4", CS_CONVERT_STOPPED));
        f.Send(Convert("idx-99", 2, 40));
        f.Send(Convert("idx-99", 1, 100, "/out/idx-99/x.flv"));
        QCOMPARE(f.Shown("idx-99")->nStatus, CS_CONVERT_STOPPED);
        QCOMPARE(f.Shown("idx-99")->nProgress, 0);
        QVERIFY(!f.done->List()->Find("idx-99"));
        f.ExpectSame("idx-99");
    }

    void everyTransferCodeSetsStatusAndText()
    {
        ListEnv env;
        TwoFaces f(env);
        const std::vector<int> codes = {-101, -102, -103, -104, -106, -107, -108, -109, -110, 0, 5};
        for (size_t i = 0; i < codes.size(); ++i) {
            _sLCItemData r =
                MakeRecord(static_cast<int>(i), "上传" + std::to_string(i) + ".flv", CS_UPLOADING);
            r.i64FileEnd = 1000;
            f.Add(r);
            f.Send(Trans(r.strFileIndex, static_cast<int8_t>(codes[i]), 500));
            f.ExpectSame(r.strFileIndex);
            const _sLCItemData* shown = f.Shown(r.strFileIndex);
            QCOMPARE(shown->nStatus, CS_UPLOAD_FAILED);
            QCOMPARE(StoredStatus(env, r.strFileIndex), CS_UPLOAD_FAILED);
            QCOMPARE(shown->i64FileId, int64_t{900});
            const int textNo = UploadFailTextNo(codes[i]);
            if (textNo == 0) {
                QCOMPARE(f.ShownTooltip(r.strFileIndex), std::string());
                QCOMPARE(shown->nProgress, 50);
            } else {
                QCOMPARE(f.ShownTooltip(r.strFileIndex), Text(env, 2272) + "\"" + r.strFileName + "\"" +
                                                             Text(env, 2263) + Text(env, textNo) + "\n");
                QCOMPARE(shown->nProgress, 0);
            }
        }
        // Queued -> uploading on the first progress report, which clears an old failure's text;
        // the end of the file shows 99 % and no speed until the result says uploaded, which
        // moves the record to the converted list at 100 %.
        _sLCItemData up = MakeRecord(50, "end.flv", CS_UPLOAD_QUEUED);
        up.i64FileEnd = 1000;
        f.Add(up);
        f.list->List()->SetTooltip("idx-50", "old failure");
        f.memCourses.SetTooltip("idx-50", "old failure");
        f.Send(Trans("idx-50", TR_PROGRESS, 0, 0));
        f.now += 500;
        f.Send(Trans("idx-50", TR_PROGRESS, 1000, 4096));
        f.ExpectSame("idx-50");
        QCOMPARE(f.Shown("idx-50")->nStatus, CS_UPLOADING);
        QCOMPARE(StoredStatus(env, "idx-50"), CS_UPLOADING);
        QCOMPARE(f.Shown("idx-50")->nProgress, 99);
        QCOMPARE(f.Shown("idx-50")->nSpeed, 0);
        QCOMPARE(f.ShownTooltip("idx-50"), std::string());
        f.Send(Trans("idx-50", TR_UPLOADED, 1000));
        QVERIFY(!f.list->List()->Find("idx-50"));
        QCOMPARE(f.Shown("idx-50")->nStatus, CS_UPLOADED);
        QCOMPARE(f.Shown("idx-50")->nProgress, 100);
        QCOMPARE(f.done->DoneStatusText(CS_UPLOADED), QString::fromStdString(Text(env, 2023)));
        QCOMPARE(StoredStatus(env, "idx-50"), CS_UPLOADED);
        f.ExpectSame("idx-50");
        // A paused record ignores a late report.
        f.Add(MakeRecord(51, "paused.flv", CS_UPLOAD_PAUSED));
        f.Send(Trans("idx-51", TR_UPLOADED, 1000));
        QCOMPARE(f.Shown("idx-51")->nStatus, CS_UPLOAD_PAUSED);
        QVERIFY(!f.done->List()->Find("idx-51"));
        // Nothing keeps timing files that left the transfer manager.
        QCOMPARE(f.window.pipeline->Reports().ClockCount(), size_t{0});
    }

    void speedIsBytesPerSecondBetweenTwoReportsOfTheSameFile()
    {
        ListEnv env;
        TwoFaces f(env);
        _sLCItemData r = MakeRecord(1, "speed.flv", CS_UPLOAD_QUEUED);
        r.i64FileEnd = 100 * 1024 * 1024;
        f.Add(r);
        _sLCItemData other = MakeRecord(2, "other.flv", CS_UPLOADING);
        other.i64FileEnd = r.i64FileEnd;
        f.Add(other);
        f.Send(Trans("idx-1", TR_PROGRESS, 0, 0));
        QCOMPARE(f.Shown("idx-1")->nSpeed, 0); // the first report only starts the clock
        f.now += 250; // another file's report in between does not disturb this file's clock
        f.Send(Trans("idx-2", TR_PROGRESS, 0, 0));
        f.now += 250;
        f.Send(Trans("idx-1", TR_PROGRESS, 786432, 786432));
        QCOMPARE(f.Shown("idx-1")->nSpeed, 1572864); // 768 KiB in 0.5 s
        QCOMPARE(SpeedText(f.Shown("idx-1")->nSpeed), QStringLiteral("1.50MB/S"));
        f.ExpectSame("idx-1");
        f.now += 2000;
        f.Send(Trans("idx-1", TR_PROGRESS, 786432 + 3072, 3072));
        QCOMPARE(f.Shown("idx-1")->nSpeed, 1536);
        QCOMPARE(SpeedText(f.Shown("idx-1")->nSpeed), QStringLiteral("1.50KB/S"));
        f.ExpectSame("idx-1");
        // A failure ends the run: no speed, and the next run starts its clock afresh.
        f.Send(Trans("idx-1", -104, 786432 + 3072));
        QCOMPARE(f.Shown("idx-1")->nSpeed, 0);
        f.list->List()->Find("idx-1")->nStatus = CS_UPLOAD_QUEUED;
        f.memCourses.Find("idx-1")->nStatus = CS_UPLOAD_QUEUED;
        f.now += 60000;
        f.Send(Trans("idx-1", TR_PROGRESS, 786432 + 3072, 100000));
        QCOMPARE(f.Shown("idx-1")->nSpeed, 0);
        f.ExpectSame("idx-1");
    }

    void aRefusedNameIsRenamedAndUploadedAgain()
    {
        ListEnv env;
        TwoFaces f(env);
        env.config->m_setData.nUinfo = 0;
        env.config->m_setData.strTimeStamp = "_v2";
        // Success: x.flv -> x_v2.flv, waiting for the upload again, timer 103 in 3 s.
        const std::string flv = env.Path("out/idx-1/第一课.flv");
        QVERIFY(MakeDirs(env.Path("out/idx-1")));
        QVERIFY(WriteFile(flv, "flv data"));
        _sLCItemData a = MakeRecord(1, "第一课.mp4", CS_UPLOADING);
        a.strConvertPath = flv;
        a.nTransTimes = 3;
        QVERIFY(f.list->Add(a, true));
        env.db->SaveCourseFiles({a}, env.config->m_i64UserId);
        f.window.Send(Trans("idx-1", TRANS_REFUSED, 0));
        const _sLCItemData* ra = f.list->List()->Find("idx-1");
        QCOMPARE(ra->strConvertPath, env.Path("out/idx-1/第一课_v2.flv"));
        QCOMPARE(ReadFile(ra->strConvertPath), std::string("flv data"));
        QVERIFY(!FileExists(flv));
        QCOMPARE(ra->nStatus, CS_WAIT_UPLOAD);
        QCOMPARE(ra->nTransTimes, 0);
        QCOMPARE(StoredStatus(env, "idx-1"), CS_WAIT_UPLOAD);
        const int due = env.loop.NextTimerDueMs();
        QVERIFY2(due > 2000 && due <= 3000, qPrintable(QString::number(due)));
        env.loop.KillTimer(f.window.pipeline->Target(), TIMER_TRANS_PENDING);

        // The compound extension stays whole, and a file already holding the new name is
        // replaced.
        QVERIFY(MakeDirs(env.Path("out/idx-2")));
        QVERIFY(WriteFile(env.Path("out/idx-2/lecture.asc.flv"), "new"));
        QVERIFY(WriteFile(env.Path("out/idx-2/lecture_v2.asc.flv"), "stale"));
        _sLCItemData b = MakeRecord(2, "lecture.mp4", CS_UPLOAD_QUEUED);
        b.strConvertPath = env.Path("out/idx-2/lecture.asc.flv");
        f.list->Add(b, true);
        f.window.Send(Trans("idx-2", TRANS_REFUSED, 0));
        QCOMPARE(f.list->List()->Find("idx-2")->strConvertPath, env.Path("out/idx-2/lecture_v2.asc.flv"));
        QCOMPARE(ReadFile(env.Path("out/idx-2/lecture_v2.asc.flv")), std::string("new"));

        // Both attempts fail (the file is gone): upload failed with the reason, on both faces.
        _sLCItemData c = MakeRecord(3, "missing.mp4", CS_UPLOADING);
        c.strConvertPath = env.Path("out/idx-3/missing.flv");
        f.Add(c);
        f.Send(Trans("idx-3", TRANS_REFUSED, 0));
        f.ExpectSame("idx-3");
        QCOMPARE(f.Shown("idx-3")->nStatus, CS_UPLOAD_FAILED);
        QCOMPARE(f.Shown("idx-3")->strConvertPath, c.strConvertPath);
        QCOMPARE(f.ShownTooltip("idx-3"),
                 Text(env, 2272) + "\"missing.mp4\"" + Text(env, 2263) + Text(env, kRenameFailedText) + "\n");
        QCOMPARE(StoredStatus(env, "idx-3"), CS_UPLOAD_FAILED);

        // With the time-stamp option the marker is today's date followed by a clock figure.
        env.config->m_setData.nUinfo = kOptTimeStamp;
        QVERIFY(MakeDirs(env.Path("out/idx-4")));
        QVERIFY(WriteFile(env.Path("out/idx-4/d.flv"), "d"));
        _sLCItemData e = MakeRecord(4, "d.mp4", CS_UPLOADING);
        e.strConvertPath = env.Path("out/idx-4/d.flv");
        f.list->Add(e, true);
        f.window.Send(Trans("idx-4", TRANS_REFUSED, 0));
        const QString renamed = QString::fromStdString(f.list->List()->Find("idx-4")->strConvertPath);
        QVERIFY2(renamed.contains(QDate::currentDate().toString("yyyyMMdd")), qPrintable(renamed));
        QVERIFY(renamed.endsWith(".flv"));
        QVERIFY(FileExists(renamed.toStdString()));
    }

    void aSelectedRowChangingStatusNotifies()
    {
        ListEnv env;
        TwoFaces f(env);
        f.Add(MakeRecord(1, "a.mp4", CS_CONVERT_QUEUED));
        f.Add(MakeRecord(2, "b.mp4", CS_CONVERT_QUEUED));
        f.list->List()->ItemClick(0, false, false);
        f.window.Send(Convert("idx-1", CR_PROGRESS, 10));
        QCOMPARE(f.win.Count("statechanged"), 1);
        QCOMPARE(f.win.messages.back().sType, QStringLiteral("selectchanged"));
        QCOMPARE(f.win.messages.back().lParam, int64_t{CS_CONVERTING});
        f.window.Send(Convert("idx-1", CR_PROGRESS, 20)); // same status: nothing new
        QCOMPARE(f.win.Count("statechanged"), 1);
        f.window.Send(Convert("idx-2", CR_PROGRESS, 10)); // not selected
        QCOMPARE(f.win.Count("statechanged"), 1);
    }

    void deleteRemovesTheRowsItNamedNotTheSelectionOfLater()
    {
        ListEnv env;
        CListRecorder win;
        auto* list = new CLCListView(&win);
        win.Watch(list);
        auto* done = new CConverDoneListUI(&win);
        win.Watch(done);
        ListPipeline p(env, *list->List(), *done->List());
        CLoopListHost host(env.loop, p.pipeline->Target());
        list->SetContext(ListContext{env.config.get(), env.db.get(), &host});
        done->SetContext(ListContext{env.config.get(), env.db.get(), &host});
        for (int i = 0; i < 6; ++i) {
            list->Add(MakeRecord(i, "课" + std::to_string(i) + ".mp4", CS_WAIT_CONVERT), true);
            _sLCItemData d = MakeRecord(10 + i, "done" + std::to_string(i) + ".mp4", CS_UPLOADED);
            done->Add(d, true);
        }
        win.resize(1000, 420);
        list->setGeometry(0, 0, 1000, 210);
        done->setGeometry(0, 210, 1000, 210);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        auto click = [](CRecordListView* v, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTest::mouseClick(v->viewport(), Qt::LeftButton, mods,
                              v->visualRect(v->model()->index(row, 0)).center());
        };
        // Rows 1 and 2 selected, Delete pressed: the request is on its way when the user picks
        // row 4 instead. The rows the request named go, row 4 stays.
        click(list, 1);
        click(list, 2, Qt::ControlModifier);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Delete);
        click(list, 4);
        QCOMPARE(list->List()->Checked(), std::vector<std::string>{"idx-4"});
        while (env.loop.RunOnce(0) > 0) {
        }
        QCOMPARE(list->List()->Indexes(), (std::vector<std::string>{"idx-0", "idx-3", "idx-4", "idx-5"}));
        // The same for the converted list.
        click(done, 0);
        done->setFocus();
        QTest::keyClick(done, Qt::Key_Delete);
        click(done, 3);
        while (env.loop.RunOnce(0) > 0) {
        }
        QVERIFY(!done->List()->Find("idx-10"));
        QVERIFY(done->List()->Find("idx-13"));
        QCOMPARE(done->List()->Count(), size_t{5});
        // A request that names nothing deletes nothing, whatever is selected.
        p.Post(WM_DELETE_ITEMS, 1, nullptr);
        p.Post(WM_DELETE_ITEMS, 2, nullptr);
        QCOMPARE(list->List()->Count(), size_t{4});
        QCOMPARE(done->List()->Count(), size_t{5});
    }

    // Two unfinished records of the same content (two copies of a lecture, put in two folders)
    // and a third sharing their remote file id: after a restart every face lists each record in
    // the course list and, converted, in the converted list; none is left without a list.
    void restoredRecordsOfTheSameContentAreAllListed()
    {
        ListEnv env;
        TwoFaces f(env);
        const std::string digest = "0123456789ABCDEF0123456789ABCDEF";
        std::vector<_sLCItemData> rows;
        for (int n : {1, 2, 3}) {
            _sLCItemData r = MakeRecord(n, "lecture-" + std::to_string(n) + ".mp4",
                                        n == 1 ? CS_UPLOADING : CS_WAIT_UPLOAD);
            r.strMd5 = n < 3 ? digest : "";
            r.i64FileId = n == 3 ? 4242 : (n == 1 ? 4242 : 0);
            r.i64FileEnd = 5000;
            r.strConvertPath = env.Path("VexoraTemp/idx-" + std::to_string(n) + "/lecture.flv");
            r.i64DirId = 100 + n;
            rows.push_back(r);
        }
        QVERIFY(env.db->SaveCourseFiles(rows, env.config->m_i64UserId));
        f.window.pipeline->RestoreRecords();
        f.command.pipeline->RestoreRecords();
        for (const char* idx : {"idx-1", "idx-2", "idx-3"}) {
            QVERIFY2(f.list->List()->Find(idx), idx);
            QVERIFY2(f.done->List()->Find(idx), idx);
            QVERIFY2(f.memCourses.Find(idx), idx);
            QCOMPARE(f.list->List()->Find(idx)->nStatus, CS_CONVERTED);
        }
        QCOMPARE(f.list->List()->Indexes(), f.memCourses.Indexes());
    }

    void refreshMediaInfoReadsTheConvertedFile()
    {
        ListEnv env;
        CListRecorder win;
        auto* done = new CConverDoneListUI(&win);
        win.Watch(done);
        done->SetContext(env.Context());
        const std::string flv = env.Path("VexoraTemp/idx-1/课程.flv");
        QVERIFY(MakeDirs(env.Path("VexoraTemp/idx-1")));
        const RunResult made = RunProgram("/usr/bin/ffmpeg", {"-v",
                                                              "error",
                                                              "-y",
                                                              "-f",
                                                              "lavfi",
                                                              "-i",
                                                              "testsrc=size=320x240:rate=25",
                                                              "-f",
                                                              "lavfi",
                                                              "-i",
                                                              "sine=frequency=440",
                                                              "-t",
                                                              "3",
                                                              "-c:v",
                                                              "flv",
                                                              "-b:v",
                                                              "300k",
                                                              "-c:a",
                                                              "libmp3lame",
                                                              "-ar",
                                                              "44100",
                                                              "-b:a",
                                                              "64k",
                                                              flv});
        QVERIFY2(made.exitCode == 0, made.err.c_str());
        _sLCItemData r = MakeRecord(1, "课程.mp4", CS_WAIT_UPLOAD);
        r.strConvertPath = flv;
        r.strModifyTime = "2026-12-08 10:00:00"; // converted rows carry the time of their conversion
        // What the source's probe left: another size, picture and duration.
        r.nWidth = 1920;
        r.nHeight = 1080;
        r.i64FileEnd = 1;
        r.miData.nDuration[MI_GENERAL] = 600000;
        QVERIFY(done->Add(r, true));
        env.db->SaveCourseFiles({r}, env.config->m_i64UserId);
        QVERIFY(done->RefreshMediaInfo("idx-1"));
        const _sLCItemData* e = done->List()->Find("idx-1");
        QCOMPARE(e->i64FileEnd, FileSize(flv));
        QCOMPARE(e->nWidth, 320);
        QCOMPARE(e->nHeight, 240);
        QVERIFY2(std::abs(e->miData.nDuration[MI_GENERAL] - 3000) < 200,
                 qPrintable(QString::number(e->miData.nDuration[MI_GENERAL])));
        QVERIFY(e->miData.nBitRate[MI_GENERAL] > 100000);
        QCOMPARE(e->miData.strFormat[MI_GENERAL], std::string("Flash Video"));
        // Stored: a restart shows the converted file's duration.
        std::vector<_sLCItemData> rows;
        env.db->GetCourseFile(env.config->m_i64UserId, &rows);
        QCOMPARE(rows.size(), size_t{1});
        QCOMPARE(rows[0].miData.nDuration[MI_GENERAL], e->miData.nDuration[MI_GENERAL]);
        QCOMPARE(rows[0].miData.nBitRate[MI_GENERAL], e->miData.nBitRate[MI_GENERAL]);
        QCOMPARE(rows[0].i64FileEnd, e->i64FileEnd);
        QCOMPARE(rows[0].nWidth, 320);

        // A file the probe cannot read, a document, an unknown index: false, nothing changed.
        _sLCItemData bad = MakeRecord(2, "坏.mp4", CS_WAIT_UPLOAD);
        QVERIFY(MakeDirs(env.Path("VexoraTemp/idx-2")));
        bad.strConvertPath = env.Path("VexoraTemp/idx-2/坏.flv");
        QVERIFY(WriteFile(bad.strConvertPath, "not a video"));
        bad.i64FileEnd = 77;
        bad.miData.nDuration[MI_GENERAL] = 1234;
        done->Add(bad, true);
        QVERIFY(!done->RefreshMediaInfo("idx-2"));
        QCOMPARE(done->List()->Find("idx-2")->i64FileEnd, int64_t{77});
        QCOMPARE(done->List()->Find("idx-2")->miData.nDuration[MI_GENERAL], 1234);
        _sLCItemData doc = MakeRecord(3, "讲义.pdf", CS_WAIT_UPLOAD);
        doc.nFileType = 1;
        doc.strConvertPath = flv;
        done->Add(doc, true);
        QVERIFY(!done->RefreshMediaInfo("idx-3"));
        QCOMPARE(done->List()->Find("idx-3")->nWidth, 0);
        QVERIFY(!done->RefreshMediaInfo("idx-404"));
    }
};

VX_REGISTER_QTEST(ListPipelineTest);
#include "ListPipelineTest.moc"
