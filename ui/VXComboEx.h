#pragma once
// A plain combo box with a hover border ("hotbordercr") and its own drawn arrow: a separator
// line one height from the right edge and a small triangle of five lines, darker while hot,
// focused or open.

#include <QComboBox>
#include <cstdint>

namespace vx {

class CVXComboEx : public QComboBox
{
    Q_OBJECT

public:
    explicit CVXComboEx(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("VXComboEx"); }
    void* GetInterface(const QString& name);
    void SetAttribute(const QString& name, const QString& value);

    bool IsHot() const { return m_bHot; }
    uint32_t HotBorderColor() const { return m_dwHotBorderColor; }
    // The colours drawn now: the outer border and the arrow.
    uint32_t CurrentBorderColor() const;
    uint32_t ArrowColor() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void showPopup() override;
    void hidePopup() override;

private:
    void UpdateHot(bool inside);

    bool m_bHot = false;
    bool m_bOpen = false;
    uint32_t m_dwHotBorderColor = 0;
    uint32_t m_dwBorderColor = 0xFFC6C7D2;
    uint32_t m_dwFocusBorderColor = 0;
    uint32_t m_dwTextColor = 0;
    int m_nBorderSize = 1;
};

} // namespace vx
