// The upload digest: the sampling rule over 1024-byte blocks, whole documents, lengths past
// 4 GiB, failures that must not pass for success, and the worker that runs it for the window.

#include "media/FileMd5.h"
#include "TestMedia.h"
#include "app/AppConfig.h"
#include "app/Utils.h"
#include "media/GetFileMd5Thread.h"
#include "media/MediaMessages.h"
#include "platform/Crypto.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace vx::test {
namespace {

std::string Hex(const std::string& bytes)
{
    Md5Digest d;
    Md5Bytes(bytes.data(), bytes.size(), &d);
    return DigestHex(d);
}

// The rule as the file server applies it, written the plain way: one 1024-byte read at a time.
std::string ReferenceDigest(const std::string& path, int rule, int64_t* length)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return "";
    CMd5 md5;
    char block[1024];
    *length = 0;
    for (int64_t k = 0;; ++k) {
        size_t n = fread(block, 1, sizeof block, f);
        if (k % rule == 0)
            md5.Update(block, n);
        *length += static_cast<int64_t>(n);
        if (n < sizeof block)
            break;
    }
    fclose(f);
    Md5Digest d;
    md5.Final(&d);
    return DigestHex(d);
}

std::string Digest(const std::string& path, int rule, int64_t* length = nullptr, int* code = nullptr)
{
    FileMd5Result r;
    int rc = GetFileMd5(path, rule, nullptr, &r);
    if (code)
        *code = rc;
    if (length)
        *length = r.i64Length;
    return rc == MD5_OK ? r.strMd5 : "";
}

TEST(FileMd5Test, SampledRuleHashesEveryRuleThBlockAndCountsEveryByte)
{
    CTempDir dir;
    const std::string data = PatternBytes(5000, 1);
    const std::string flv = dir.File("lesson.flv");
    ASSERT_TRUE(WriteFile(flv, data));
    int64_t len = 0;
    // Rule 4 over 5000 bytes: block 0 and block 4 (bytes 4096..4999, 904 bytes).
    EXPECT_EQ(Hex(data.substr(0, 1024) + data.substr(4096)), Digest(flv, 4, &len));
    EXPECT_EQ(5000, len);
    // Rule 1 is the MD5 of the whole file.
    EXPECT_EQ(Hex(data), Digest(flv, 1, &len));
    EXPECT_EQ(5000, len);

    // Exactly 2048 bytes with rule 2: only block 0; the empty third read feeds nothing.
    const std::string two = dir.File("two.flv");
    ASSERT_TRUE(WriteFile(two, data.substr(0, 2048)));
    EXPECT_EQ(Hex(data.substr(0, 1024)), Digest(two, 2, &len));
    EXPECT_EQ(2048, len);

    // A rule of 0 or below would divide by zero: it counts as 1.
    EXPECT_EQ(Hex(data), Digest(flv, 0));
    EXPECT_EQ(Hex(data), Digest(flv, -3));
}

TEST(FileMd5Test, DocumentsAreHashedWholeWhateverTheCaseOfTheirExtension)
{
    CTempDir dir;
    const std::string data = PatternBytes(10000, 2);
    for (const char* name : {"a.pdf", "B.PDF", "c.Swf", "课件.pdf"}) {
        std::string path = dir.File(name);
        ASSERT_TRUE(WriteFile(path, data));
        EXPECT_EQ(Hex(data), Digest(path, 4)) << name;
    }
    EXPECT_TRUE(IsWholeFileMd5("/x/lecture.PDF"));
    EXPECT_FALSE(IsWholeFileMd5("/x/lecture.pdf.flv"));
    EXPECT_FALSE(IsWholeFileMd5("/x/lecture.mp4"));
    EXPECT_FALSE(IsWholeFileMd5("/x/lecture.pdfx"));
    EXPECT_FALSE(IsWholeFileMd5("pdf"));
}

// Reads go in large chunks; block numbering must carry across chunk edges for every rule.
TEST(FileMd5Test, LargeFileMatchesTheBlockByBlockReferenceForSeveralRules)
{
    CTempDir dir;
    const std::string path = dir.File("big.flv");
    ASSERT_TRUE(WriteFile(path, PatternBytes(3 * 256 * 1024 + 1500, 3)));
    for (int rule : {1, 2, 3, 4, 7, 1000}) {
        int64_t refLen = 0, len = 0;
        std::string ref = ReferenceDigest(path, rule, &refLen);
        EXPECT_EQ(ref, Digest(path, rule, &len)) << "rule " << rule;
        EXPECT_EQ(refLen, len);
    }
}

TEST(FileMd5Test, LengthPastFourGibibytesIsExact)
{
    CTempDir dir;
    const std::string path = dir.File("huge.flv");
    const int64_t size = (int64_t(4) << 30) + 1234;
    const std::string tail = PatternBytes(1234, 4);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(static_cast<ssize_t>(tail.size()), pwrite(fd, tail.data(), tail.size(), size - 1234));
    close(fd);
    ASSERT_EQ(size, FileSize(path));

    // Rule 1024 hashes block 0, 1024, ... : 4096 zero blocks below 4 GiB, then block 4194304
    // (the first 1024 bytes of the tail); block 4194305 (210 bytes) is skipped.
    CMd5 md5;
    std::string zero(1024, '\0');
    for (int i = 0; i < 4096; ++i)
        md5.Update(zero.data(), zero.size());
    md5.Update(tail.data(), 1024);
    Md5Digest d;
    md5.Final(&d);
    int64_t len = 0;
    EXPECT_EQ(DigestHex(d), Digest(path, 1024, &len));
    EXPECT_EQ(size, len);
}

TEST(FileMd5Test, FailuresAreReportedNotHashed)
{
    CTempDir dir;
    int code = 0;
    EXPECT_EQ("", Digest(dir.File("none.flv"), 4, nullptr, &code));
    EXPECT_EQ(MD5_FILE_MISSING, code);
    EXPECT_EQ("", Digest(dir.Path(), 4, nullptr, &code));
    EXPECT_EQ(MD5_FILE_MISSING, code);
    // A regular file whose read fails: taking the error for the end of the file would report
    // the digest of nothing as a success.
    int64_t len = -1;
    EXPECT_EQ("", Digest("/proc/self/mem", 1, &len, &code));
    EXPECT_EQ(MD5_READ_FAILED, code);

    // An empty file is a valid digest of nothing, length 0.
    std::string empty = dir.File("empty.flv");
    ASSERT_TRUE(WriteFile(empty, ""));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Digest(empty, 4, &len, &code));
    EXPECT_EQ(MD5_OK, code);
    EXPECT_EQ(0, len);
}

TEST(FileMd5Test, StopFlagEndsHashingAtOnce)
{
    CTempDir dir;
    const std::string path = dir.File("sparse.flv");
    ASSERT_TRUE(WriteFile(path, ""));
    ASSERT_EQ(0, truncate(path.c_str(), int64_t(2) << 30));
    std::atomic<bool> stop{true};
    FileMd5Result r;
    EXPECT_EQ(MD5_STOPPED, GetFileMd5ByRule(path, 1, false, &stop, &r));
    EXPECT_TRUE(r.strMd5.empty());
}

// --- the worker -----------------------------------------------------------------------------

_sLCItemData Record(const std::string& path, const std::string& convertPath = "")
{
    _sLCItemData r;
    r.strFilePath = path;
    r.strConvertPath = convertPath;
    r.strFileIndex = NewFileIndex();
    r.nStatus = CS_CONVERTED;
    return r;
}

class Md5ThreadTest : public ::testing::Test
{
protected:
    void SetUp() override { SetRule(4); }
    void TearDown() override { CAppConfig::DestroyInstance(); }
    // The worker reads the rule from the configuration file for each file.
    void SetRule(int rule)
    {
        const std::string ini = m_dir.File("Config.ini");
        ASSERT_TRUE(WriteFile(ini, "[md5]\nrule=" + std::to_string(rule) + "\n"));
        if (CAppConfig::Instance().ConfigPath() != ini) {
            CAppConfig::DestroyInstance();
            CAppConfig::SetConfigPath(ini);
            CAppConfig::Instance();
        }
    }

    CTempDir m_dir;
    CMessageLoop m_loop;
    CCollector m_window{m_loop};
};

TEST_F(Md5ThreadTest, DigestsComeBackInOrderWithStatusAndLength)
{
    const std::string data = PatternBytes(5000, 5);
    const std::string source = m_dir.File("source.mp4");
    const std::string converted = m_dir.File("out.flv");
    const std::string doc = m_dir.File("notes.PDF");
    ASSERT_TRUE(WriteFile(source, "source bytes that must not be hashed"));
    ASSERT_TRUE(WriteFile(converted, data));
    ASSERT_TRUE(WriteFile(doc, data));

    CGetFileMd5Thread worker(m_loop, m_window.Target());
    worker.SetTickMs(100);
    std::vector<_sLCItemData> in = {Record(source, converted), Record(doc), Record(m_dir.File("gone.flv")),
                                    Record("/proc/self/mem")};
    ASSERT_TRUE(worker.AddFiles(in));
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(m_window.WaitFor(4, 10000));
    auto& got = m_window.Msgs();
    for (auto& msg : got)
        EXPECT_EQ(WM_MD5_RESULT, msg.id);

    const _sLCItemData* a = PayloadAs<_sLCItemData>(got[0].payload);
    EXPECT_EQ(0, got[0].code);
    EXPECT_EQ(in[0].strFileIndex, a->strFileIndex);
    EXPECT_EQ(Hex(data.substr(0, 1024) + data.substr(4096)), a->strMd5); // the converted file
    EXPECT_EQ(5000, a->i64FileEnd);
    EXPECT_EQ(CS_WAIT_UPLOAD, a->nStatus);

    const _sLCItemData* b = PayloadAs<_sLCItemData>(got[1].payload);
    EXPECT_EQ(Hex(data), b->strMd5); // a document, whole
    EXPECT_EQ(5000, b->i64FileEnd);

    EXPECT_EQ(-1, got[2].code);
    EXPECT_EQ(CS_MD5_FAILED, PayloadAs<_sLCItemData>(got[2].payload)->nStatus);
    EXPECT_EQ(-2, got[3].code);
    const _sLCItemData* d = PayloadAs<_sLCItemData>(got[3].payload);
    EXPECT_EQ(CS_MD5_FAILED, d->nStatus);
    EXPECT_TRUE(d->strMd5.empty());
}

TEST_F(Md5ThreadTest, RuleIsReadAnewForEachFileAndLateRecordsArePickedUp)
{
    const std::string data = PatternBytes(5000, 6);
    const std::string flv = m_dir.File("clip.flv");
    ASSERT_TRUE(WriteFile(flv, data));
    SetRule(1);
    CGetFileMd5Thread worker(m_loop, m_window.Target());
    worker.SetTickMs(100);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(worker.AddTask(Record(flv)));
    ASSERT_TRUE(m_window.WaitFor(1, 5000));
    // The running worker sees the edited configuration file with the next file.
    SetRule(2);
    ASSERT_TRUE(worker.AddTask(Record(flv)));
    ASSERT_TRUE(m_window.WaitFor(2, 5000));
    EXPECT_EQ(Hex(data), PayloadAs<_sLCItemData>(m_window.Msgs()[0].payload)->strMd5);
    EXPECT_EQ(Hex(data.substr(0, 1024) + data.substr(2048, 1024) + data.substr(4096)),
              PayloadAs<_sLCItemData>(m_window.Msgs()[1].payload)->strMd5);
}

TEST_F(Md5ThreadTest, StopInTheMiddleOfALargeFileIsBoundedAndSilent)
{
    // 3 GiB sparse: far longer to hash than the stop may take.
    const std::string big = m_dir.File("big.flv");
    ASSERT_TRUE(WriteFile(big, ""));
    ASSERT_EQ(0, truncate(big.c_str(), int64_t(3) << 30));
    SetRule(1);
    auto worker = std::make_unique<CGetFileMd5Thread>(m_loop, m_window.Target());
    worker->SetTickMs(50);
    ASSERT_TRUE(worker->AddFiles({Record(big), Record(big)}));
    ASSERT_TRUE(worker->Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // well into the first file
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker->Stop());
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 150);
    EXPECT_FALSE(worker->IsActive());
    EXPECT_FALSE(worker->AddTask(Record(big)));
    worker.reset();
    m_loop.PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(m_window.Msgs().empty());
}

} // namespace
} // namespace vx::test
