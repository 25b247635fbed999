#pragma once
// The content list of the space page (class name "VXDirListUI"), model/view with one painted
// row per entry. Its signals: SelectionEdited when the user changes the selection (mouse,
// arrows, Ctrl+A), ItemOpened on a double click or Enter on the current row, DeletePressed on
// the Delete key with a selection, RenamePressed on F2, and MenuRequested on a right click, the
// context-menu key or Shift+F10 (the row under the pointer, or the current row by keyboard; -1
// for none). The look is set through the properties below (a form may set them).

#include <QColor>
#include <QListView>
#include <vector>

namespace vx {

class CSpaceList;
class CSpaceListModel;

class CVXDirListUI : public QListView
{
    Q_OBJECT
    Q_PROPERTY(QColor itemtextcolor READ ItemTextColor WRITE SetItemTextColor)
    Q_PROPERTY(QColor itembkcolor READ ItemBkColor WRITE SetItemBkColor)
    Q_PROPERTY(QColor itemselectedbkcolor READ ItemSelectedBkColor WRITE SetItemSelectedBkColor)
    Q_PROPERTY(QColor itemhotbkcolor READ ItemHotBkColor WRITE SetItemHotBkColor)
    Q_PROPERTY(QColor itembordercolor READ ItemBorderColor WRITE SetItemBorderColor)
    Q_PROPERTY(bool muliselected READ MultiSelect WRITE SetMultiSelect)

public:
    static constexpr const char* kClassName = "VXDirListUI";

    explicit CVXDirListUI(QWidget* parent = nullptr);

    void SetSpaceModel(CSpaceListModel* model);
    // Brings the rows up to date and selects the rows the list has selected, without notifying.
    // The scroll position stays unless another folder is shown.
    void SyncFrom(const CSpaceList& list);
    // Only the selection, from the list's flags (the rows are unchanged).
    void SyncSelection(const CSpaceList& list);
    std::vector<int> SelectedRows() const;
    // The row under a point of the viewport (-1: none).
    int RowAt(const QPoint& viewportPos) const;
    // Where a row's name is drawn, in viewport coordinates.
    QRect NameRectOf(int row) const;

    QColor ItemTextColor() const { return m_textColor; }
    void SetItemTextColor(const QColor& c) { m_textColor = c; }
    QColor ItemBkColor() const { return m_bkColor; }
    void SetItemBkColor(const QColor& c) { m_bkColor = c; }
    QColor ItemSelectedBkColor() const { return m_selectedBkColor; }
    void SetItemSelectedBkColor(const QColor& c) { m_selectedBkColor = c; }
    QColor ItemHotBkColor() const { return m_hotBkColor; }
    void SetItemHotBkColor(const QColor& c) { m_hotBkColor = c; }
    QColor ItemBorderColor() const { return m_borderColor; }
    void SetItemBorderColor(const QColor& c) { m_borderColor = c; }
    bool MultiSelect() const { return selectionMode() == QAbstractItemView::ExtendedSelection; }
    void SetMultiSelect(bool on);

signals:
    void SelectionEdited();
    void ItemOpened(int row);
    void DeletePressed();
    void RenamePressed();
    void MenuRequested(int row);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void startDrag(Qt::DropActions) override {} // the page drags by itself

private:
    // The row a menu opened by keyboard is for: the current row when selected, else -1.
    int KeyboardMenuRow() const;

    CSpaceListModel* m_pModel = nullptr;
    bool m_bSyncing = false;
    QColor m_textColor{0x33, 0x33, 0x33};
    QColor m_bkColor{0xff, 0xff, 0xff};
    QColor m_selectedBkColor{0xc0, 0xe1, 0xff};
    QColor m_hotBkColor{0xe1, 0xec, 0xf7};
    QColor m_borderColor{0xee, 0xee, 0xee};
};

} // namespace vx
