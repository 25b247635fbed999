#pragma once
// The workers' reports applied to a course file record: the status a report moves the record
// to, the progress shown, the upload speed and the text that tells the user why a step failed.
// The pipeline applies every conversion and transfer report through this one class, whatever
// face shows the lists, so the windows and the command line show the same statuses and texts.
// It changes the record it is given and nothing else: storing, the tooltip, the log and the
// next step are the caller's, guided by the ReportEffect.

#include "store/ConvertRecords.h"
#include "store/LCItemData.h"
#include "store/TransRecords.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace vx {

class CAppConfig;

// What applying one report asks of the caller.
struct ReportEffect
{
    bool applied = false; // false: the report was dropped and the record is unchanged
    bool store = false;   // the stored state changed: store the record
    bool tooltip = false; // the element's tooltip becomes tooltipText ("" clears it)
    std::string tooltipText;
    bool rename = false;    // the server refused the name: rename the upload file and try again
    bool spaceFull = false; // the server's space is full (the record failed): tell the user
    bool busy = false;      // the server takes the same content on another connection: try later
};

class CCourseReports
{
public:
    explicit CCourseReports(const CAppConfig& config);

    // Milliseconds of a monotonic clock; tests replace it to time reports exactly.
    void SetClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }

    // A conversion report. Progress moves a queued record to converting (stored once) and
    // shows at most 99 %; success moves it to converted with the output path, its name, the
    // time and 100 %; every other code, 0 included, is a failure with a text that says why. A
    // late report for a conversion the user stopped or restarted is dropped.
    ReportEffect UpdateItemByCvrtInfo(_sLCItemData& r, const _sConvertReport& report) const;

    // A transfer report for a record the transfer manager holds (queued or uploading; any other
    // status drops it). Sets the file id, the accepted offset, the progress (99 % at most until
    // the result says uploaded) and the speed in bytes per second: the report's bytes over the
    // time since the same file's previous report (the first report of a run only starts that
    // clock). A refused name (-105 for the server's -6) only asks for the rename, and a refusal
    // as busy (the server's -5) only asks to try later: the caller moves the record. A full
    // space (-105 for the server's -30000) and every other failure move the record to upload
    // failed, with a text when the code has one.
    ReportEffect UpdateItemByTransInfo(_sLCItemData& r, const _sTransReport& report);

    // Upload failed with the given language text (0: none): status 11 and, with a text, the
    // tooltip and progress 0.
    ReportEffect UploadFailed(_sLCItemData& r, int textNo) const;

    // The upload file under a new name (the marker goes before the converted-file extension);
    // a file of that name is replaced, a move to another file system fails. On success the
    // record waits for the upload again (status 10, no hand-overs counted, progress 0).
    // Failures are logged; the record is then unchanged.
    bool RenameUploadFile(_sLCItemData& r) const;
    // The marker of a new name: the user's suffix, or the date and a clock figure when the
    // time-stamp option is on or no suffix is set (each call gives a new figure).
    std::string RenameMarker() const;

    // The tooltips of a failed conversion and a failed upload.
    std::string ConvertFailureText(const std::string& name, int textNo) const;
    std::string UploadFailureText(const std::string& name, int textNo) const;

    // Forgets the speed clock of a file that left the transfer manager.
    void Forget(const std::string& fileIndex) { m_lastReportMs.erase(fileIndex); }
    size_t ClockCount() const { return m_lastReportMs.size(); }

private:
    const CAppConfig& m_config;
    std::function<int64_t()> m_clock;
    std::unordered_map<std::string, int64_t> m_lastReportMs; // previous progress report per file
};

} // namespace vx
