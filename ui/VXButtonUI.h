#pragma once
// A push button drawn from skin attributes: background, text and border colours for the
// normal, hot and pushed states, a text padding, and a border for the disabled state
// ("disabledbordercolor"; no border at all while disabled when it is 0). Attributes are set
// from forms as dynamic properties or in code with SetAttribute; colours are "#AARRGGBB" or
// "AARRGGBB". It sends "click" like every button of a window.

#include <QMargins>
#include <QPushButton>
#include <cstdint>

namespace vx {

class CVXButtonUI : public QPushButton
{
    Q_OBJECT

public:
    explicit CVXButtonUI(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("VXButtonUI"); }
    // "VXButton" answers the control itself; other names are not ours.
    void* GetInterface(const QString& name);
    void SetAttribute(const QString& name, const QString& value);
    // A list of name="value" pairs, as skins and code write them.
    void ApplyAttributeList(const QString& list);

    uint32_t DisabledBorderColor() const { return m_dwDisabledBorderColor; }
    // Whether a border is drawn in the current state (the disabled rule included).
    bool DrawsBorder() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    uint32_t m_dwDisabledBorderColor = 0;
    uint32_t m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    int m_nBottomBorderSize = -1; // -1: same as the border size
    int m_nRound = 0;
    uint32_t m_dwBkColor = 0, m_dwHotBkColor = 0, m_dwPushedBkColor = 0;
    uint32_t m_dwTextColor = 0, m_dwHotTextColor = 0, m_dwPushedTextColor = 0, m_dwDisabledTextColor = 0;
    uint32_t m_uTextStyle = 0x25; // centred on one line
    QMargins m_textPadding;
    bool m_bHot = false;
};

} // namespace vx
