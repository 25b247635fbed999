#pragma once
// What the space page posts to itself through the message loop, and the small records those
// messages and the page's callbacks carry. A message names its entry by id, never by a pointer
// to a control: by the time it is delivered the list may have been refilled and the control gone.

#include "platform/MessageLoop.h"

#include <cstdint>
#include <string>

namespace vx {

// Open the name editor over an entry: payload SpaceItemRef.
constexpr uint32_t WM_SPACE_RENAME = WM_USER + 2003; // 3027
// Count the shown entries and refresh the "spaceCourseInfo" label.
constexpr uint32_t WM_SPACE_COURSE_INFO = WM_USER + 2011; // 3035
// The space page's share of the window's delete message (wParam 0): payload SpaceItemRef.
constexpr uint32_t WM_SPACE_DELETE_ITEMS = WM_USER + 2015; // 3039
// A search of the space page (wParam 3): payload the search text.
constexpr uint32_t WM_SPACE_SEARCH = WM_USER + 2018; // 3042
// A space request finished on the worker: apply its result.
constexpr uint32_t WM_SPACE_REQUEST_DONE = WM_USER + 2100;

constexpr uint64_t kSearchPageSpace = 3;

// Where an event on the space page came from.
enum class SpaceSource : int
{
    List = 0,     // the list itself (Delete key, menu on empty space): its selection
    TreeItem = 1, // a tree item
    ListItem = 2  // one list item
};

// One entry of the page, by identity. Folder ids and file ids are counted apart by the
// platform, so the kind is part of the name.
struct SpaceItemRef
{
    SpaceSource source = SpaceSource::List;
    bool bFolder = true;
    int64_t i64Id = 0;
};

// A drop target: a tree item or a folder item of the list.
struct SpaceDropTarget
{
    SpaceSource kind = SpaceSource::TreeItem;
    int64_t i64FolderId = 0;
    bool bIsFolder = true; // false: the pointer is over a file of the list
};

// Visible and enabled state of one button of the page.
struct SpaceButtonState
{
    bool bVisible = true;
    bool bEnabled = true;
    bool operator==(const SpaceButtonState&) const = default;
};

// The buttons UpdateSpaceButtons drives, by their control names.
struct SpaceButtons
{
    SpaceButtonState rename;    // "SpaceRenamebtn"
    SpaceButtonState createDir; // "SpaceCreatedirbtn"
    SpaceButtonState padCreate; // "padCreatedirbtn"
    SpaceButtonState padRename; // "padrename"
    SpaceButtonState addFile;   // "AddFileBtn"
    SpaceButtonState refresh;   // "SpaceRefreshbtn"
    bool operator==(const SpaceButtons&) const = default;
};

// What changed, for the page to redraw (bits).
enum SpaceChange : unsigned
{
    kChangeTree = 0x01,
    kChangeList = 0x02,
    kChangeAddress = 0x04,
    kChangeButtons = 0x08,
    kChangeInfo = 0x10,
    kChangeSearch = 0x20, // search flag or banner
    kChangeSelection = 0x40
};

// What the controller needs from the page. All calls come on the owner's thread.
class ISpaceView
{
public:
    virtual ~ISpaceView() = default;
    // An error or information text for the user (message box type 1, shown later).
    virtual void ShowMessage(const std::string& text) = 0;
    // A question with OK and Cancel (type 21): true when confirmed.
    virtual bool Confirm(const std::string& text) = 0;
    // The models changed (SpaceChange bits).
    virtual void SpaceChanged(unsigned changes) = 0;
    // Open the name editor over the entry (the new folder or the one to rename).
    virtual void BeginRename(const SpaceItemRef& item) = 0;
    // Requests are running (busy cursor and indicator) or all done.
    virtual void SetBusy(bool busy) = 0;
};

} // namespace vx
