#pragma once
// The address bar of the space page (class name "VXDirAddressUI"): the folders from the root
// down to the shown one, preceded by the overflow item. Items are laid out from the last one
// backwards while they fit in the bar's width less 35 pixels; the ones before are hidden and
// the overflow item, which then lists them, is shown. The last item is always shown.
// FolderClicked when an item (or an entry of the overflow item's menu) is chosen; a new width
// lays the items out again.

#include <QList>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

namespace vx {

class CVXAddressItemUI;

class CVXDirAddressUI : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "VXDirAddressUI";

    explicit CVXDirAddressUI(QWidget* parent = nullptr);

    // (folder id, name) from the root down; an empty path empties the bar.
    void SetPath(const std::vector<std::pair<int64_t, QString>>& folders);
    // Places the items for the current width.
    void LayoutItems();

    // Items including the overflow item (0 when empty), as the back button counts them.
    int ItemCount() const { return m_items.isEmpty() ? 0 : static_cast<int>(m_items.size()) + 1; }
    CVXAddressItemUI* Overflow() const { return m_pOverflow; }
    const QList<CVXAddressItemUI*>& Items() const { return m_items; }
    // Index of the first folder item shown (the ones before are behind the overflow item).
    int FirstShown() const { return m_nFirstShown; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void FolderClicked(qint64 folderId);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void ShowOverflowMenu();

    CVXAddressItemUI* m_pOverflow = nullptr;
    QList<CVXAddressItemUI*> m_items;
    int m_nFirstShown = 0;
};

} // namespace vx
