#include "cli/RunView.h"

#include "app/AppConfig.h"
#include "cli/CliHelpers.h"
#include "store/CourseStatus.h"

#include <cstdio>

namespace vx::cli {

std::string StatusLabel(int32_t status)
{
    std::string text = CAppConfig::Instance().GetText(StatusTextNo(status));
    return text.empty() ? StatusName(status) : text;
}

CRunView::CRunView(CMemCourseList& courses, bool tty) : m_courses(courses), m_tty(tty) {}

void CRunView::PrintLine(const std::string& text)
{
    fprintf(stderr, "%svexora: %s\n", m_tty && m_drawnLines ? "\r\x1b[2K" : "",
            PlainText(OneLine(text)).c_str());
    m_drawnLines = 0;
}

int CRunView::MessageBox(const std::string& text, int)
{
    PrintLine(text);
    return 1;
}

void CRunView::SpaceWarning(int64_t spaceLeft, const std::string&)
{
    PrintLine(CAppConfig::Instance().GetText(2088) + " (" + std::to_string(spaceLeft) + " GB left)");
}

void CRunView::DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries)
{
    for (const auto& [path, why] : entries)
        PrintLine("run " + path + ": skipped: " + why);
}

void CRunView::OnChanged(const std::string& fileIndex, const _sLCItemData* r)
{
    if (!m_watched.count(fileIndex))
        return;
    Line& l = m_lines[fileIndex];
    const int32_t before = l.status;
    if (r) {
        l.name = r->strFileName;
        l.status = r->nStatus;
        l.progress = r->nProgress;
        l.size = r->i64FileSize;
        l.speed = r->nSpeed;
    } else if (l.status != CS_UPLOADED) {
        // Left the course list: uploaded (or deleted, which a run never does).
        l.status = CS_UPLOADED;
        l.progress = 100;
    }
    if (!m_tty && l.status != before)
        fprintf(stderr, "%-8s %s  %s\n", StatusName(l.status) + 3, StatusLabel(l.status).c_str(),
                PlainText(l.name).c_str());
}

void CRunView::Draw(bool final)
{
    if (!m_tty)
        return;
    auto now = std::chrono::steady_clock::now();
    if (!final && now - m_lastDraw < std::chrono::milliseconds(200))
        return;
    m_lastDraw = now;
    if (m_drawnLines)
        fprintf(stderr, "\x1b[%zuA", m_drawnLines);
    size_t lines = 0, done = 0, failed = 0;
    for (const auto& [idx, l] : m_lines) {
        if (l.status == CS_UPLOADED)
            ++done;
        else if (!IsWorkingStatus(l.status))
            ++failed;
        const bool active = IsWorkingStatus(l.status) && l.status != CS_WAIT_MEDIAINFO;
        if (!active)
            continue;
        const int filled = l.progress * 24 / 100;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(24 - filled), '.');
        std::string name = FitWidth(PlainText(l.name), 40);
        fprintf(stderr, "\r\x1b[2K[%s] %3d%% %-14s %s\n", bar.c_str(), l.progress, StatusName(l.status) + 3,
                name.c_str());
        ++lines;
    }
    fprintf(stderr, "\r\x1b[2Ktotal: %zu uploaded, %zu failed, %zu working of %zu\n", done, failed,
            m_lines.size() - done - failed, m_lines.size());
    ++lines;
    // Lines of an earlier, longer drawing are cleared.
    for (size_t i = lines; i < m_drawnLines; ++i)
        fprintf(stderr, "\r\x1b[2K\n");
    if (m_drawnLines > lines)
        fprintf(stderr, "\x1b[%zuA", m_drawnLines - lines);
    m_drawnLines = final ? 0 : lines;
    fflush(stderr);
}

} // namespace vx::cli
