#pragma once
// The pop-up menu of the lists, the space view and the tray: a QMenu whose entries are chosen by
// flag bits and always appear in this order: 0x001 "rename", 0x002 "delete", 0x004 "newfolder",
// 0x008 "refresh", 0x010 "trayshow", 0x020 "exit", 0x040 "opendirectory", 0x080
// "openconverfile", 0x100 "coursedetail", 0x200 "coursefilepath" (texts from the language table;
// the names are the actions' object names). Choosing an entry, by mouse or keyboard, emits
// EntryChosen once, after the menu has closed; the menu deletes itself when it is hidden.
// Receivers that must not act inside the menu's event handling connect with
// Qt::QueuedConnection, and a receiver that is gone by then gets nothing.

#include <QMenu>
#include <QStringList>
#include <cstdint>

namespace vx {

class CLanguageTable;

class CVXMenuWnd : public QMenu
{
    Q_OBJECT

public:
    enum Entry : uint32_t
    {
        Rename = 0x001,
        Delete = 0x002,
        NewFolder = 0x004,
        Refresh = 0x008,
        TrayShow = 0x010,
        Exit = 0x020,
        OpenDirectory = 0x040,
        OpenConvertedFile = 0x080,
        CourseDetail = 0x100,
        CourseFilePath = 0x200
    };
    Q_ENUM(Entry)

    static constexpr int kEntryHeight = 25;
    static constexpr int kTextPadding = 20;

    // Without a language table, or with no flag set, the menu has no entries. The menu belongs
    // to the owner's window; width is the menu's fixed width in pixels.
    CVXMenuWnd(uint32_t flags, QWidget* owner, int width, const CLanguageTable* texts);
    ~CVXMenuWnd() override;

    // Shows the menu with its top-left corner at a global position (kept on the screen).
    void ShowAt(const QPoint& globalPos);

    // Entry names for a flag set, in menu order.
    static QStringList EntryNames(uint32_t flags);
    static QString EntryName(Entry entry);
    QStringList Entries() const;
    // The action of an entry (null when the menu does not have it).
    QAction* ActionOf(Entry entry) const;

signals:
    void EntryChosen(vx::CVXMenuWnd::Entry entry);

private:
    bool m_bChosen = false;
};

} // namespace vx
