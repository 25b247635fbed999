#pragma once
// One item of CVXsiComboUI, 31 pixels high. Pressing it (either button) reports "itemclick";
// then a press on its delete icon (shown while hovered when the combo shows delete icons)
// posts "deletecomboitem" from the combo with the item's index and closes the list without
// selecting, and any other press selects the item.

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace vx {

class CVXsiComboUI;

class CVXSiElementUI : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kHeight = 31;
    static constexpr uint32_t kStateHot = 0x08;

    explicit CVXSiElementUI(const QString& text = QString(), QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("VXSIElementUI"); }
    void* GetInterface(const QString& name);

    void SetText(const QString& text);
    QString GetText() const { return m_strText; }
    void SetOwner(CVXsiComboUI* owner) { m_pOwner = owner; }
    CVXsiComboUI* Owner() const { return m_pOwner; }
    void SetIndex(int index) { m_iIndex = index; }
    int GetIndex() const { return m_iIndex; }
    bool IsSelected() const { return m_bSelected; }
    bool Select(bool value = true);
    // Used by the combo: the state changes without asking the combo back.
    void SetSelectedSilently(bool value);
    bool IsHot() const { return m_uState & kStateHot; }
    bool DeleteIconShown() const { return m_bDelIconShown; }
    // The delete icon's rectangle in item coordinates.
    QRect DeleteIconRect() const;

    QSize sizeHint() const override { return QSize(100, kHeight); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    QPointer<CVXsiComboUI> m_pOwner;
    QString m_strText;
    int m_iIndex = -1;
    bool m_bSelected = false;
    uint32_t m_uState = 0;
    bool m_bDelIconShown = false;
};

} // namespace vx
