#pragma once
// The pop-up menu of the lists, the space view and the tray. Entries are chosen by flag bits
// and always appear in this order: 0x001 "rename", 0x002 "delete", 0x004 "newfolder",
// 0x008 "refresh", 0x010 "trayshow", 0x020 "exit", 0x040 "opendirectory", 0x080
// "openconverfile", 0x100 "coursedetail", 0x200 "coursefilepath" (texts from the language
// table). A click posts the entry's name as a notification from the owner control to the
// owner's window, then the menu closes; clicking elsewhere closes it. The menu deletes itself
// when closed; a posted notification whose owner is gone by then is dropped.

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>

namespace vx {

class CLanguageTable;

class CVXMenuWnd : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kEntryHeight = 25;
    static constexpr int kTextPadding = 20;

    // Without a language table, or with no flag set, the menu has no entries.
    CVXMenuWnd(uint32_t flags, QWidget* owner, int width, const CLanguageTable* texts);
    ~CVXMenuWnd() override;

    // Shows the menu with its top-left corner at a global position (kept on the screen).
    void ShowAt(const QPoint& globalPos);

    // Entry names for a flag set, in menu order.
    static QStringList EntryNames(uint32_t flags);
    QStringList Entries() const { return m_entries; }

private:
    void OnEntry(const QString& name);

    QPointer<QWidget> m_pOwner;
    QStringList m_entries;
    bool m_bChosen = false;
};

} // namespace vx
