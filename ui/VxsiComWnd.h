#pragma once
// The drop-down list of CVXsiComboUI: a pop-up under the combo (above it when there is no room
// below) holding the combo's items while it is open. Height = the items' heights + 4, at most
// the drop-box height; width = the drop-box width (centred under the combo) or the combo's.
// Enter closes it, Escape restores the item that was current when it opened, arrows and the
// wheel move the selection; clicking outside closes it. Closing gives the items back.

#include <QPointer>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace vx {

class CVXsiComboUI;

class CVxsiComWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CVxsiComWnd(CVXsiComboUI* owner);
    ~CVxsiComWnd() override;

    // Computes the geometry, moves the items in and shows the list.
    void Open();
    QScrollArea* ScrollArea() const { return m_pScroll; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Keys reach the list whichever of its parts has the focus (the scroll area would eat arrows).
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void MoveSelection(int delta);
    void GiveItemsBack();
    void EnsureCurrentVisible();

    QPointer<CVXsiComboUI> m_pOwner;
    int m_iOldSel = -1;
    QScrollArea* m_pScroll = nullptr;
    QWidget* m_pList = nullptr;
    QVBoxLayout* m_pLayout = nullptr;
    bool m_bItemsGiven = false;
};

} // namespace vx
