#pragma once
// The account combo: a QComboBox whose drop-down rows (31 pixels high) show a delete icon while
// hovered or highlighted. Pressing the icon, or Delete / Shift+Delete on the highlighted row,
// asks to remove that account without selecting it and closes the list (ItemDeleteRequested,
// from the event queue). The drop-down is as high as its rows + 4, at most the drop-box height
// (default 150), as wide as the drop-box width (centred under the combo) or the combo, and opens
// above the combo when there is no room below. The wheel does not change the account while the
// list is closed. A partner control (the login window's account edit) lights the combo's border
// through SetExpand; the stylesheet draws it from the "partnerHot" property.

#include "ui/ExpandControl.h"

#include <QComboBox>
#include <QRect>
#include <QSize>

namespace vx {

class CVXsiComboUI : public QComboBox, public CExpandControl
{
    Q_OBJECT
    Q_PROPERTY(QSize dropBoxSize READ DropBoxSize WRITE SetDropBoxSize)
    Q_PROPERTY(bool showDeleteIcon READ ShowsDeleteIcon WRITE SetShowDeleteIcon)
    Q_PROPERTY(bool partnerHot READ IsPartnerHot)

public:
    static constexpr int kItemHeight = 31;

    explicit CVXsiComboUI(QWidget* parent = nullptr);

    // Appends an account without choosing it (a stock combo would choose the first one added).
    void AddItem(const QString& text);
    int GetCount() const { return count(); }
    int GetCurSel() const { return currentIndex(); }
    // The current item's text, or empty.
    QString GetText() const { return currentText(); }
    // Selects index (past the end: the last item). -1 clears the selection and reports nothing;
    // false when nothing could be selected.
    bool SelectItem(int index, bool takeFocus = false);
    // Removing the current item clears the selection; neither reports a change.
    bool RemoveAt(int index);
    void RemoveAll();
    // Opens the drop-down (nothing when it is open already).
    bool Activate();
    void CloseDropDown() { hidePopup(); }
    // The open drop-down, or null.
    QWidget* DropDown() const;

    QSize DropBoxSize() const { return m_szDropBox; }
    void SetDropBoxSize(QSize size) { m_szDropBox = size; }
    bool ShowsDeleteIcon() const { return m_bShowDelIcon; }
    void SetShowDeleteIcon(bool show);
    // Where a row of the drop-down draws its delete icon (row in the list's coordinates).
    static QRect DeleteIconRect(const QRect& row);

    void SetExpand(bool expand) override;
    bool IsPartnerHot() const { return m_bPartnerHot; }

    void showPopup() override;
    void hidePopup() override;

signals:
    // A row of the drop-down was pressed (either button), before it is selected or deleted.
    void ItemClicked(int index);
    // The current item changed to a valid item.
    void ItemSelected(int index, int previous);
    // The row's delete icon was pressed or Delete was typed on it; emitted from the event queue.
    void ItemDeleteRequested(int index);
    void DroppedDown();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void OnCurrentIndexChanged(int index);
    void RequestDelete(int index);

    QSize m_szDropBox{0, 150};
    bool m_bShowDelIcon = false;
    bool m_bPartnerHot = false;
    bool m_bQuiet = false; // removals move the current index without the user choosing
    int m_iPrevious = -1;
};

} // namespace vx
