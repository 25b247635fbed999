#pragma once
// A combo with its own drop-down list (CVxsiComWnd) of CVXSiElementUI items, each of which may
// show a delete icon while hovered ("itemshowdelicon"). The combo itself draws only its image
// and border; the items are laid out only inside the drop-down.
//
// Notifications: "dropdown" when the list opens; "itemselect" (wParam new index, lParam
// previous index) when the current item changes to a valid item; "deletecomboitem" (posted,
// wParam the item's index) when an item's delete icon is pressed — the item is not selected
// and the list closes. Items report "itemclick" when pressed. ItemSelected and
// ItemDeleteRequested carry the same two events as signals.

#include "ui/ExpandControl.h"

#include <QList>
#include <QMargins>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <cstdint>

namespace vx {

class CVXSiElementUI;
class CVxsiComWnd;

class CVXsiComboUI : public QWidget, public CExpandControl
{
    Q_OBJECT

public:
    static constexpr uint32_t kStateHot = 0x08;
    static constexpr uint32_t kStatePushed = 0x10;

    explicit CVXsiComboUI(QWidget* parent = nullptr);
    ~CVXsiComboUI() override;

    QString GetClass() const { return QStringLiteral("VXSComboUI"); }
    void* GetInterface(const QString& name);
    void SetAttribute(const QString& name, const QString& value);

    // Takes ownership; a CVXSiElementUI gets this combo as owner and the current count as index.
    bool Add(QWidget* item);
    bool Remove(QWidget* item);
    bool RemoveAt(int index);
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_items.size()); }
    QWidget* GetItemAt(int index) const;
    int GetCurSel() const { return m_iCurSel; }
    bool SelectItem(int index, bool takeFocus = false);
    // The current item's text, or empty.
    QString GetText() const;
    // Opens the drop-down (nothing when it is open already).
    bool Activate();
    void CloseDropDown();
    CVxsiComWnd* DropDown() const { return m_pWindow; }

    void SetExpand(bool expand) override;
    bool IsPartnerHot() const { return m_bPartnerHot; }
    bool IsHot() const { return m_uButtonState & kStateHot; }

    // Item look, read by the items.
    QMargins ItemTextPadding() const { return m_rcItemTextPadding; }
    uint32_t ItemTextColor() const { return m_dwItemTextColor; }
    uint32_t ItemBkColor() const { return m_dwItemBkColor; }
    uint32_t SelectedItemTextColor() const { return m_dwSelectedItemTextColor; }
    uint32_t SelectedItemBkColor() const { return m_dwSelectedItemBkColor; }
    uint32_t HotItemTextColor() const { return m_dwHotItemTextColor; }
    uint32_t HotItemBkColor() const { return m_dwHotItemBkColor; }
    uint32_t ItemTextStyle() const { return m_uItemTextStyle; }
    bool ShowsDeleteIcon() const { return m_bShowDelIcon; }
    QSize DropBoxSize() const { return m_szDropBox; }
    QString DropBoxAttributes() const { return m_strDropBox; }
    // The colour the border is drawn in now (0: none).
    uint32_t CurrentBorderColor() const;

    QSize sizeHint() const override;

signals:
    // The current item changed to a valid item (right after "itemselect").
    void ItemSelected(int index, int previous);
    // An item's delete icon was pressed; emitted from the event queue, as "deletecomboitem".
    void ItemDeleteRequested(int index);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    friend class CVxsiComWnd;
    void Renumber();
    void OnDropDownClosed(CVxsiComWnd* which);

    QList<QWidget*> m_items;
    QPointer<CVxsiComWnd> m_pWindow;
    int m_iCurSel = -1;
    QString m_strNormalImage;
    QString m_strDropBox;
    QSize m_szDropBox{0, 150};
    QMargins m_rcTextPadding;
    int m_nItemFont = 0;
    QMargins m_rcItemTextPadding;
    uint32_t m_dwItemTextColor = 0, m_dwItemBkColor = 0;
    uint32_t m_dwSelectedItemTextColor = 0, m_dwSelectedItemBkColor = 0;
    uint32_t m_dwHotItemTextColor = 0, m_dwHotItemBkColor = 0;
    uint32_t m_dwFocusBorderColor = 0, m_dwBorderColor = 0, m_dwBkColor = 0;
    int m_nBorderSize = 1;
    bool m_bShowDelIcon = false;
    bool m_bHandCursor = false;
    uint32_t m_uItemTextStyle = 0;
    bool m_bPartnerHot = false;
    uint32_t m_uButtonState = 0;
};

} // namespace vx
