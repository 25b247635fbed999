#pragma once
// The view shared by the course list and the converted list: a list of fixed 34-pixel rows
// drawn by the list's delegate (no widget per row), a header of CLCCheckBox controls laid out
// over the same columns, and the list behaviour: clicks with Ctrl and Shift, the arrows, Home
// and End (Shift extends), Ctrl+A, the Delete key, the context menu and hot tracking. It tells
// its window what happened through its signals; the menu's "删除" deletes the selected rows as
// the Delete key does.
//
// Row colours are properties, so a form can set them; the row background is the selected
// colour, else the hot colour, else the alternate colour on odd rows, else the normal one.

#include "ui/VXMenuWnd.h"
#include "ui/lists/ListHost.h"
#include "ui/lists/RecordListModel.h"

#include <QColor>
#include <QHash>
#include <QListView>
#include <QPointer>
#include <vector>

namespace vx {

class CLCCheckBox;

struct ColumnSpec
{
    QString title;
    int width = 0;      // pixels; 0: the rest of the row (the name column, leftmost)
    int sortColumn = 0; // 0: not sortable
};

class CRecordListView : public QListView
{
    Q_OBJECT
    Q_PROPERTY(QColor itemTextColor MEMBER m_itemTextColor)
    Q_PROPERTY(QColor itemBkColor MEMBER m_itemBkColor)
    Q_PROPERTY(QColor itemAlterColor MEMBER m_itemAlterColor)
    Q_PROPERTY(QColor itemSelectTextColor MEMBER m_itemSelectTextColor)
    Q_PROPERTY(QColor itemSelectedBkColor MEMBER m_itemSelectedBkColor)
    Q_PROPERTY(QColor itemHotTextColor MEMBER m_itemHotTextColor)
    Q_PROPERTY(QColor itemHotBkColor MEMBER m_itemHotBkColor)
    Q_PROPERTY(bool itemMulSelect READ MultiSelect WRITE SetMultiSelect)

public:
    static constexpr int kRowHeight = 34;
    static constexpr int kHeaderHeight = 28;

    // list: 1 the course list, 2 the converted list (what DeleteItems names).
    CRecordListView(CRecordListModel* model, int list, QWidget* parent);
    ~CRecordListView() override;

    void SetContext(const ListContext& ctx)
    {
        m_ctx = ctx;
        m_textCache.clear();
    }
    const ListContext& Context() const { return m_ctx; }
    CRecordListModel* Model() const { return m_pModel; }

    // Column rectangles of a row, left to right, as Columns() lists them.
    std::vector<QRect> ColumnRects(const QRect& row) const;
    virtual std::vector<ColumnSpec> Columns() const = 0;
    CLCCheckBox* Header(int sortColumn) const;

    // A language text, read once ("" without a configuration).
    QString CachedText(int number) const;
    QString StatusText(int32_t status) const;

    int HotRow() const { return m_nHotRow; }
    bool MultiSelect() const { return m_pModel->MultiSelect(); }
    void SetMultiSelect(bool on) { m_pModel->SetMultiSelect(on); }
    QColor RowBackground(int viewRow) const;
    QColor RowText(int viewRow) const;

    // Sorts by a column and stores the choice for the user (tab, folder of this list).
    void SortBy(int column, bool descending);
    // Reads the stored choice and sorts by it; false when none was stored.
    bool RestoreSort();
    int SortColumn() const { return m_nSortColumn; }
    bool SortDescending() const { return m_bSortDescending; }
    // The file index of the row the context menu was opened on ("" when none).
    std::string MenuFileIndex() const { return m_menuFileIndex; }
    // Asks for the deletion of the selected rows (the Delete key, the menu's "删除").
    void DeleteSelected();
    CVXMenuWnd* OpenMenu() const { return m_pMenu; }

signals:
    // A row was pressed with the left button (before the selection changes).
    void ItemClicked();
    void ItemDoubleClicked();
    // The selection changed: how many rows are checked, and the status of the first one.
    void SelectChanged(int count, int status);
    void StateChanged();
    // The Delete key asked for the deletion of the selected rows.
    void DeleteRequested();
    // An entry of the context menu other than "删除" was chosen; MenuFileIndex names the row it
    // was opened on.
    void MenuEntryChosen(vx::CVXMenuWnd::Entry entry);

protected:
    // Sort the model; false for a column the list does not sort.
    virtual bool SortModel(int column, bool descending) = 0;
    // Menu flags for a right click on a row that is selected or not.
    virtual uint32_t MenuFlags(bool rowSelected, int selectedCount) const = 0;
    virtual int SortTab() const = 0;
    virtual int64_t SortFolder() const = 0;
    virtual const char* DeleteLogLine() const = 0;
    void BuildHeader();
    QString Text(int number) const;

    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void updateGeometries() override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void resizeEvent(QResizeEvent* e) override;

    CRecordListModel* m_pModel;
    ListContext m_ctx;

private:
    void LayoutHeader();
    void SetHotRow(int row);

    int m_nList;
    QWidget* m_pHeader = nullptr;
    std::vector<CLCCheckBox*> m_headers;
    int m_nHotRow = -1;
    int m_nCursorRow = -1; // the row the arrows move from
    int m_nSortColumn = 0;
    bool m_bSortDescending = false;
    std::string m_menuFileIndex;
    QPointer<CVXMenuWnd> m_pMenu;
    mutable QHash<int, QString> m_textCache;

    QColor m_itemTextColor{0x33, 0x33, 0x33};
    QColor m_itemBkColor{0xFF, 0xFF, 0xFF};
    QColor m_itemAlterColor{0xF6, 0xF8, 0xFA};
    QColor m_itemSelectTextColor{0x11, 0x11, 0x11};
    QColor m_itemSelectedBkColor{0xCC, 0xE4, 0xF7};
    QColor m_itemHotTextColor{0x22, 0x22, 0x22};
    QColor m_itemHotBkColor{0xE8, 0xF2, 0xFB};
};

} // namespace vx
