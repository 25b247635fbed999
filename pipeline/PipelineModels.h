#pragma once
// The four models the course pipeline is written against, and the one interface through which
// it talks to the user. The command line implements them in memory (MemoryModels.h); the
// windows implement them with their list and tree models. Every call comes from the thread that
// runs the pipeline's message loop (the user-interface thread), so none of them needs a lock.
//
// Records are held by the lists as value copies keyed by the file index. A pointer returned by
// Find stays valid until the list is changed (an add or a remove), never across a call that may
// show a question: callers look a record up again after every answer.

#include "store/LCItemData.h"
#include "store/SpaceRow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vx {

// The course list: records of status 1 to 14, one element per file index, in list order.
class ICourseList
{
public:
    virtual ~ICourseList() = default;
    // Adds a copy; visible false while the list shows search results (the element is hidden).
    virtual void AddRecord(const _sLCItemData& record, bool visible) = 0;
    virtual _sLCItemData* Find(const std::string& fileIndex) = 0;
    // Removes the element; false when there was none.
    virtual bool Remove(const std::string& fileIndex) = 0;
    // Bulk forms (a drop, a restore, a delete of thousands): the same as one call per record,
    // in the order given; a face overrides them to update its view once.
    virtual void AddRecords(const std::vector<_sLCItemData>& records, bool visible)
    {
        for (const _sLCItemData& r : records)
            AddRecord(r, visible);
    }
    virtual void RemoveRecords(const std::vector<std::string>& fileIndexes)
    {
        for (const std::string& idx : fileIndexes)
            Remove(idx);
    }
    // Every file index, in list order.
    virtual std::vector<std::string> Indexes() const = 0;
    // The file indexes of the checked elements, in list order.
    virtual std::vector<std::string> Checked() const = 0;
    // The record of this element changed (status, progress, sizes): redraw it.
    virtual void Changed(const std::string& fileIndex) = 0;
    // The element's tooltip (the cause of a failure; "" clears it).
    virtual void SetTooltip(const std::string& fileIndex, const std::string& text) = 0;
    virtual bool IsSearching() const = 0;
    virtual void SetSearching(bool searching) = 0;
};

// The converted list: records whose upload file exists (status 8 to 15), one per file index.
class IConvertedList
{
public:
    virtual ~IConvertedList() = default;
    // Refuses (false) a file index that is already listed.
    virtual bool AddRecord(const _sLCItemData& record, bool visible) = 0;
    virtual _sLCItemData* Find(const std::string& fileIndex) = 0;
    virtual bool Remove(const std::string& fileIndex) = 0;
    // Bulk forms, as for the course list.
    virtual void AddRecords(const std::vector<_sLCItemData>& records, bool visible)
    {
        for (const _sLCItemData& r : records)
            AddRecord(r, visible);
    }
    virtual void RemoveRecords(const std::vector<std::string>& fileIndexes)
    {
        for (const std::string& idx : fileIndexes)
            Remove(idx);
    }
    virtual std::vector<std::string> Indexes() const = 0;
    virtual std::vector<std::string> Checked() const = 0;
    virtual void Changed(const std::string& fileIndex) = 0;
    virtual bool IsSearching() const = 0;
    virtual void SetSearching(bool searching) = 0;
};

// The remote folders of the user and the organisation.
class IFolderTree
{
public:
    virtual ~IFolderTree() = default;
    // Adds (or replaces, by id) a folder.
    virtual void AddFolder(const SpaceRow& folder) = 0;
    // Null when the tree does not hold the folder.
    virtual const SpaceRow* Find(int64_t folderId) const = 0;
    // The root folder whose owner is the user (its id; 0 or less when the tree has none).
    virtual int64_t RootOfUser(int64_t userId) const = 0;
    // The folder selected in the tree (its id; 0 or less when none).
    virtual int64_t Selected() const = 0;
};

// The content of one remote folder as the space view shows it.
class ISpaceList
{
public:
    virtual ~ISpaceList() = default;
    // The folder shown (0 or less: none).
    virtual int64_t ShownFolder() const = 0;
    // True while the list shows search results instead of a folder.
    virtual bool IsSearching() const = 0;
    virtual void SetSearching(bool searching) = 0;
    virtual void AddEntry(const SpaceRow& entry) = 0;
    // Reads the shown folder again from the server.
    virtual void Reload() = 0;
};

// Everything the pipeline asks of the user or shows to the user.
class IPipelineUi
{
public:
    virtual ~IPipelineUi() = default;
    // A message box of type MB_INFO, MB_WARNING or MB_QUESTION ("@n" already replaced by line
    // breaks). Returns 1 for "yes" (questions), anything else for "no"; information boxes
    // return 1 when closed.
    virtual int MessageBox(const std::string& text, int type) = 0;
    // The space warning window (modal): the space left in GB; title "SpaceInsufWnd" or
    // "SpaceMsgWnd".
    virtual void SpaceWarning(int64_t spaceLeft, const std::string& title) = 0;
    // Shows a local file in the file manager (a duplicate or over-long name was refused).
    virtual void RevealFile(const std::string& path) = 0;
    // A drop's folder scan left entries out (a link back into the tree, a folder or file reached
    // a second way, a link to nothing): each path with why. Once per drop; nothing to answer.
    virtual void DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries)
    {
        (void)entries;
    }
    // Nothing is working any more and the user asked for the automatic shut-down: offer it
    // (the countdown window). The face runs the shut-down command when the user lets it happen.
    virtual void OfferShutdown() = 0;
    // The tab counts of the two lists may have changed.
    virtual void CountsChanged() {}
    // The account was signed in elsewhere; the face ends the session.
    virtual void SignedOut() {}
    // The session runs: the stored records are listed and the workers started.
    virtual void SessionStarted() {}
    // The user has never completed the start-up settings (option bit 0x80 clear): the face asks
    // for them (the window shows its start-up settings window) and calls done on the pipeline's
    // thread once they are stored. The session waits for that before it reads the records and
    // starts the workers, which take their settings from the options. Without a window to ask
    // in, the session goes on at once.
    virtual void AskStartSettings(std::function<void()> done) { done(); }
};

} // namespace vx
