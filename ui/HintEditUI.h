#pragma once
// A line edit that shows a hint text ("hinttext", in "hinttextcolor") while it is empty and
// not focused, and a hover border ("hotbordercr") while hot. Its partner (SetExpandControl,
// e.g. the account combo beside the account edit) is told when the edit becomes hot or
// focused and when it no longer is, so both draw one highlighted frame.

#include <QLineEdit>
#include <cstdint>

namespace vx {

class CExpandControl;

class CHintEditUI : public QLineEdit
{
    Q_OBJECT

public:
    explicit CHintEditUI(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("HintEdit"); }
    void* GetInterface(const QString& name);
    void SetAttribute(const QString& name, const QString& value);

    void SetExpandControl(CExpandControl* partner) { m_pPartner = partner; }
    void SetHintText(const QString& text);
    QString HintText() const { return m_strHint; }
    // Whether the hint is drawn now.
    bool ShowsHint() const;
    bool IsHot() const { return m_bHot; }
    uint32_t CurrentBorderColor() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void SetHot(bool hot);

    CExpandControl* m_pPartner = nullptr;
    QString m_strHint;
    uint32_t m_dwHintColor = 0;
    uint32_t m_dwHotBorderColor = 0;
    uint32_t m_dwBorderColor = 0xFFC6C7D2;
    int m_nBorderSize = 1;
    bool m_bHot = false;
};

} // namespace vx
