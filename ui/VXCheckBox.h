#pragma once
// A check box that also works as an option in a group. Without a group a click toggles it;
// with a group (the "group" attribute) a click selects it and silently unselects the other
// members of that group in the same window, and only the newly selected box reports
// "selectchanged". Every activation first sends "click".
//
// Look: background colour while selected ("selectbkcolor") or the control's own ("bkcolor"),
// a status image (normal "bkimage", "hotimage", "checkedimage", "selecthotimage"; names from
// the icon resources) at the left, and the text in the rectangle less "textpadding" in
// "textcolor" or, when selected, "seltextcolor".

#include <QMargins>
#include <QString>
#include <QWidget>
#include <cstdint>

class QPainter;
class QPixmap;

namespace vx {

class CVXCheckBox : public QWidget
{
    Q_OBJECT

public:
    static constexpr uint32_t kStateSelected = 0x02;
    static constexpr uint32_t kStateHot = 0x08;

    explicit CVXCheckBox(QWidget* parent = nullptr);

    virtual QString GetClass() const { return QStringLiteral("VXOptionUI"); }
    virtual void* GetInterface(const QString& name);
    virtual void SetAttribute(const QString& name, const QString& value);

    void SetText(const QString& text);
    QString GetText() const { return m_strText; }
    bool IsSelected() const { return m_bSelected; }
    void SetCheck(bool value);
    // The state a form starts with ("selected"): set without reporting.
    void SetInitialCheck(bool value);
    // What a click does: "click", then select (in a group) or toggle.
    void Activate();
    void SetGroup(const QString& group);
    QString GetGroup() const { return m_strGroup; }
    uint32_t TextStyle() const { return m_uTextStyle; }
    uint32_t TextColor() const { return m_dwTextColor; }
    // The image the current state shows (resource path, empty for none).
    QString StatusImage() const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // The text colour for the current state.
    QColor CurrentTextColor() const;
    // Fills the background of the current state; returns the state's image (null for none).
    QPixmap PaintBackground(QPainter& p) const;

    bool m_bSelected = false;
    uint32_t m_uState = 0;
    int m_nFont = 0;
    uint32_t m_uTextStyle = 0;
    uint32_t m_dwTextColor = 0xFFFFFFFF; // 0: the window's default text colour
    uint32_t m_dwSelectedTextColor = 0;
    uint32_t m_dwSelectedBkColor = 0;
    uint32_t m_dwBkColor = 0;
    QMargins m_textPadding;
    QString m_strText;
    QString m_strBkImage, m_strHotImage, m_strCheckedImage, m_strSelectedHotImage;
    QString m_strGroup;
};

} // namespace vx
