#pragma once
// What `vexora run` shows while the pipeline works, and the pipeline's user interface for the
// command line: on a terminal one progress line per active file plus a total, redrawn in
// place; otherwise one plain line per status change. Message boxes become lines on standard
// error; questions are answered "yes" (nobody is there to ask, and the command line only asks
// what the user's command already decided); the shut-down is never offered from here.

#include "pipeline/MemoryModels.h"
#include "pipeline/PipelineModels.h"

#include <chrono>
#include <map>
#include <set>
#include <string>

namespace vx::cli {

class CRunView : public IPipelineUi
{
public:
    CRunView(CMemCourseList& courses, bool tty);

    int MessageBox(const std::string& text, int type) override;
    void SpaceWarning(int64_t spaceLeft, const std::string& title) override;
    void RevealFile(const std::string&) override {}
    void DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries) override;
    void OfferShutdown() override {}
    void SignedOut() override { m_bSignedOut = true; }
    bool SignedOutElsewhere() const { return m_bSignedOut; }

    // The files whose progress is shown (the files of this run).
    void Watch(const std::string& fileIndex) { m_watched.insert(fileIndex); }
    // A record changed (null: it left the course list, i.e. it was uploaded or deleted).
    void OnChanged(const std::string& fileIndex, const _sLCItemData* record);
    // Redraws the terminal lines (at most five times a second unless final).
    void Draw(bool final);

private:
    struct Line
    {
        std::string name;
        int32_t status = 0;
        int32_t progress = 0;
        int64_t size = 0;
        int32_t speed = 0;
    };
    // One line "vexora: TEXT" on standard error, escaped, over the progress lines.
    void PrintLine(const std::string& text);

    CMemCourseList& m_courses;
    bool m_tty;
    std::set<std::string> m_watched;
    std::map<std::string, Line> m_lines;
    size_t m_drawnLines = 0;
    bool m_bSignedOut = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

// "STATUS TEXT" of a status from the language table, with the status code's name when the
// table has no text.
std::string StatusLabel(int32_t status);

} // namespace vx::cli
