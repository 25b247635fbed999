#pragma once
// Shared pieces of the conversion tests: small media made with ffmpeg at test time (kept in the
// build tree between test programs), the tool paths of the build's codecs/ folder, a private
// Config.ini and data folder, and a worker run to its end.

#include "common/TestUtil.h"
#include "media/ConvertThread.h"
#include "store/MiData.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vx::test {

// Path of a generated clip by name ("h264.mp4", "noise.mp4" ...); made on first use.
std::string Media(const std::string& name);
MiData Probe(const std::string& path);
std::string CodecsDir();
_sConvertOptions MakeOptions(const std::string& outPath, uint8_t codecMode = CODEC_VBR, uint8_t sizeOp = 1);

struct RunOutcome
{
    int code = 0; // the result report's code (0 when none came)
    std::string outPath;
    std::vector<int> progress; // every progress value reported
    ConvertRunInfo info;
};

// The independent FLV validator's summary of a file ("0 error(s), 0 warning(s)"), with its
// messages before it when there are any.
std::string ValidatorReport(const std::string& path);
// Width and height of the first video stream as the decoder sees it, and as the file's
// onMetaData gives them ({0, 0} when absent).
std::pair<int, int> StreamPictureSize(const std::string& path);
std::pair<int, int> MetadataPictureSize(const std::string& path);

// Runs one task on a fresh worker and waits for its end.
RunOutcome RunWorker(const _sConvertTask& task, const _sConvertOptions& options);

// Private data folder and configuration for a test program.
class ConvertEnv : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Rewrites the configuration (the conversion reads it at each step). bindCpu pins each
    // encoder to its worker's processor.
    void WriteConfig(int checkDurMs, bool needCheck, bool bindCpu = true);

    std::unique_ptr<CScopedDataDir> m_data;
    std::unique_ptr<CTempDir> m_out;
};

} // namespace vx::test
