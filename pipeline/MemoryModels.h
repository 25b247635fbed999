#pragma once
// The in-memory faces of the four pipeline models, for the command line and the tests. The
// lists keep their records in a CMemRecordStore (public, so a face can check elements and read
// tooltips) and call onChanged after every change of a record, which is where the command line
// draws its progress.

#include "pipeline/MemRecordStore.h"
#include "pipeline/PipelineModels.h"
#include "platform/PowerRequest.h"

#include <functional>
#include <map>

namespace vx {

class CMemCourseList : public ICourseList
{
public:
    void AddRecord(const _sLCItemData& record, bool visible) override;
    _sLCItemData* Find(const std::string& fileIndex) override { return store.Find(fileIndex); }
    bool Remove(const std::string& fileIndex) override;
    std::vector<std::string> Indexes() const override { return store.Indexes(); }
    std::vector<std::string> Checked() const override { return store.Checked(); }
    void Changed(const std::string& fileIndex) override;
    void SetTooltip(const std::string& fileIndex, const std::string& text) override
    {
        store.SetTooltip(fileIndex, text);
    }
    bool IsSearching() const override { return m_bSearching; }
    void SetSearching(bool searching) override { m_bSearching = searching; }

    CMemRecordStore store;
    // Called with the record after it was added or changed, and with null after a removal.
    std::function<void(const std::string& fileIndex, const _sLCItemData* record)> onChanged;

private:
    bool m_bSearching = false;
};

class CMemConvertedList : public IConvertedList
{
public:
    bool AddRecord(const _sLCItemData& record, bool visible) override { return store.Add(record, visible); }
    _sLCItemData* Find(const std::string& fileIndex) override { return store.Find(fileIndex); }
    bool Remove(const std::string& fileIndex) override { return store.Remove(fileIndex); }
    std::vector<std::string> Indexes() const override { return store.Indexes(); }
    std::vector<std::string> Checked() const override { return store.Checked(); }
    void Changed(const std::string&) override {}
    bool IsSearching() const override { return m_bSearching; }
    void SetSearching(bool searching) override { m_bSearching = searching; }

    CMemRecordStore store;

private:
    bool m_bSearching = false;
};

class CMemFolderTree : public IFolderTree
{
public:
    void AddFolder(const SpaceRow& folder) override { m_folders[folder.i64Id] = folder; }
    const SpaceRow* Find(int64_t folderId) const override;
    // The top-level folder (level 0 or parent 0) owned by the user.
    int64_t RootOfUser(int64_t userId) const override;
    int64_t Selected() const override { return m_i64Selected; }
    void Select(int64_t folderId) { m_i64Selected = folderId; }
    size_t Size() const { return m_folders.size(); }

private:
    std::map<int64_t, SpaceRow> m_folders;
    int64_t m_i64Selected = 0;
};

class CMemSpaceList : public ISpaceList
{
public:
    int64_t ShownFolder() const override { return m_i64Shown; }
    void Show(int64_t folderId)
    {
        m_i64Shown = folderId;
        entries.clear();
    }
    bool IsSearching() const override { return m_bSearching; }
    void SetSearching(bool searching) override { m_bSearching = searching; }
    void AddEntry(const SpaceRow& entry) override { entries.push_back(entry); }
    void Reload() override { ++reloads; }

    std::vector<SpaceRow> entries;
    int reloads = 0;

private:
    int64_t m_i64Shown = 0;
    bool m_bSearching = false;
};

// A keep-awake request kept in memory only, for a face that runs where no power manager may be
// asked (the benchmarks and the tests). It counts what it was asked; with `available` false
// every Acquire fails, as on a machine without a system bus.
class CMemPowerRequest : public IPowerRequest
{
public:
    explicit CMemPowerRequest(bool isAvailable = true) : available(isAvailable) {}
    bool Acquire(const std::string&) override
    {
        ++acquired;
        held = available;
        error = held ? "" : "no power manager (held in memory only)";
        return held;
    }
    void Release() override
    {
        if (held)
            ++released;
        held = false;
    }
    bool IsHeld() const override { return held; }
    const std::string& LastError() const override { return error; }

    bool available = true;
    bool held = false;
    int acquired = 0;
    int released = 0;
    std::string error;
};

} // namespace vx
