#pragma once
// A line edit with a hint: the hint is the edit's placeholder text, shown while the edit is
// empty and not focused (a focused edit shows no hint). Its border, grey and blue while hovered
// or focused, comes from the style sheet. Its partner (SetExpandControl, e.g. the account combo
// beside the account edit) is told when the edit becomes hot (hovered or focused) and when it
// no longer is, so both draw one highlighted frame.

#include <QLineEdit>

namespace vx {

class CExpandControl;

class CHintEditUI : public QLineEdit
{
    Q_OBJECT

public:
    explicit CHintEditUI(QWidget* parent = nullptr);

    void SetExpandControl(CExpandControl* partner) { m_pPartner = partner; }
    // The hint; also the edit's accessible name unless it was given one of its own.
    void SetHintText(const QString& text);
    QString HintText() const { return m_bHintHidden ? m_strHint : placeholderText(); }
    // Whether the hint shows now.
    bool ShowsHint() const;
    bool IsHot() const { return m_bHot; }

protected:
    bool event(QEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void SetHot(bool hot);

    CExpandControl* m_pPartner = nullptr;
    QString m_strHint; // the placeholder while the focus hides it
    bool m_bHintHidden = false;
    bool m_bHot = false;
};

} // namespace vx
