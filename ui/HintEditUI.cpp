#include "ui/HintEditUI.h"

#include "ui/ExpandControl.h"

#include <QEvent>

namespace vx {

CHintEditUI::CHintEditUI(QWidget* parent) : QLineEdit(parent)
{
    setAttribute(Qt::WA_Hover);
}

void CHintEditUI::SetHintText(const QString& text)
{
    const QString old = HintText();
    if (accessibleName().isEmpty() || accessibleName() == old)
        setAccessibleName(text);
    if (m_bHintHidden)
        m_strHint = text;
    else
        setPlaceholderText(text);
}

bool CHintEditUI::ShowsHint() const
{
    return !m_bHintHidden && text().isEmpty() && !placeholderText().isEmpty();
}

bool CHintEditUI::event(QEvent* e)
{
    // A hint given by the form names the edit for screen readers when nothing else does.
    if (e->type() == QEvent::Polish && accessibleName().isEmpty())
        setAccessibleName(placeholderText());
    return QLineEdit::event(e);
}

void CHintEditUI::SetHot(bool hot)
{
    if (m_pPartner)
        m_pPartner->SetExpand(hot);
    m_bHot = hot;
}

void CHintEditUI::enterEvent(QEnterEvent* e)
{
    if (isEnabled())
        SetHot(true);
    QLineEdit::enterEvent(e);
}

void CHintEditUI::mouseMoveEvent(QMouseEvent* e)
{
    SetHot(true);
    QLineEdit::mouseMoveEvent(e);
}

void CHintEditUI::leaveEvent(QEvent* e)
{
    if (!hasFocus())
        SetHot(false);
    QLineEdit::leaveEvent(e);
}

void CHintEditUI::focusInEvent(QFocusEvent* e)
{
    SetHot(true);
    QLineEdit::focusInEvent(e);
    // The stock edit keeps its placeholder while focused; a hint edit shows none.
    if (!m_bHintHidden) {
        m_strHint = placeholderText();
        m_bHintHidden = true;
        setPlaceholderText(QString());
    }
}

void CHintEditUI::focusOutEvent(QFocusEvent* e)
{
    SetHot(false);
    QLineEdit::focusOutEvent(e);
    if (m_bHintHidden) {
        m_bHintHidden = false;
        setPlaceholderText(m_strHint);
    }
}

} // namespace vx
