#include "ListFixture.h"

#include <QDir>

namespace vx::test {

_sLCItemData MakeRecord(int n, const std::string& name, int32_t status)
{
    _sLCItemData r;
    r.strFileIndex = "idx-" + std::to_string(n);
    r.strFileName = name;
    r.strFilePath = "/home/teacher/course/" + name;
    r.nStatus = status;
    r.i64FileSize = 1000 + n;
    return r;
}

std::vector<_sLCItemData> MixedRecords(int n)
{
    static const char* kNames[] = {"第一章 导论.mp4",  "Lecture_Intro.avi",  "高等数学 第二讲.flv",
                                   "讲义 材料.pdf",    "期末复习（上）.mkv", "lab-session.mov",
                                   "课堂练习答案.swf", "线性代数.wmv"};
    static const int32_t kStatuses[] = {2, 3, 5, 6, 4, 8, 10, 12, 13, 11, 1, 14};
    std::vector<_sLCItemData> out;
    for (int i = 0; i < n; ++i) {
        _sLCItemData r = MakeRecord(i, std::to_string(i) + "_" + kNames[i % 8], kStatuses[i % 12]);
        r.nFileType = (i % 8 == 3 || i % 8 == 6) ? 1 : 0;
        r.i64FileSize = int64_t{37} * 1024 * 1024 + i * 77777;
        r.i64FileEnd = r.i64FileSize / 3;
        r.nProgress = (i * 7) % 100;
        r.nSpeed = (r.nStatus == CS_UPLOADING) ? 300000 + i * 1000 : 0;
        if (r.nFileType == 0 && r.nStatus != CS_WAIT_MEDIAINFO && r.nStatus != CS_MEDIA_FAILED) {
            r.nWidth = 1280;
            r.nHeight = 720;
            r.nFileBits = 1200 + i;
            r.miData.nDuration[MI_GENERAL] = 60000 * (i % 90) + 5000;
            r.miData.nBitRate[MI_GENERAL] = 1000 * (800 + i);
        }
        if (r.nStatus == CS_MEDIA_FAILED)
            r.nMediaError = -1;
        const std::string stem = r.strFileName.substr(0, r.strFileName.rfind('.'));
        r.strConvertPath =
            "/data/VexoraTemp/" + r.strFileIndex + "/" + stem + (i % 5 == 0 ? ".asc.flv" : ".flv");
        r.strModifyTime =
            "2026-12-0" + std::to_string(1 + i % 8) + " 10:" + std::to_string(10 + i % 50) + ":00";
        out.push_back(r);
    }
    return out;
}

int32_t StoredStatus(ListEnv& env, const std::string& fileIndex)
{
    std::vector<_sLCItemData> rows;
    env.db->GetCourseFile(env.config->m_i64UserId, &rows);
    for (const _sLCItemData& r : rows)
        if (r.strFileIndex == fileIndex)
            return r.nStatus;
    return -1;
}

void LoopRecorder::OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    Msg m{id, wParam, {}};
    if (auto* v = PayloadAs<std::vector<std::string>>(payload))
        m.indexes = *v;
    messages.push_back(m);
}

ListEnv::ListEnv()
{
    config = std::make_unique<CAppConfig>(Path("Config.ini"));
    config->Language().Load(VX_SOURCE_DIR "/resources/Language/SimpleChinese");
    config->m_i64UserId = 4711;
    db = std::make_unique<CLocalDb>(Path("vexora_v2.0.db"));
    target = loop.Register(&pipeline);
    host = std::make_unique<CLoopListHost>(loop, target);
}

ListEnv::~ListEnv()
{
    loop.Unregister(target);
}

ListContext ListEnv::Context()
{
    return ListContext{config.get(), db.get(), host.get()};
}

std::string ListEnv::Path(const std::string& name) const
{
    return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
}

ListPipeline::ListPipeline(ListEnv& e, ICourseList& courses, IConvertedList& converted) : env(e)
{
    api = std::make_unique<CSpaceApi>(*env.config);
    pipeline = std::make_unique<CCoursePipeline>(
        PipelineDeps{env.loop, *env.config, *env.db, *api, courses, converted, tree, space, *this, power});
}

ListPipeline::~ListPipeline()
{
    pipeline.reset();
}

void ListPipeline::Post(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    env.loop.PostMsg(pipeline->Target(), id, wParam, std::move(payload));
    while (env.loop.RunOnce(0) > 0) {
    }
}

void ListPipeline::Send(const _sConvertReport& report)
{
    Post(WM_CONVERT_RESULT, 0, MakePayload(report));
}

void ListPipeline::Send(const _sTransReport& report)
{
    Post(WM_TRANS_RESULT, 0, MakePayload(report));
}

} // namespace vx::test
