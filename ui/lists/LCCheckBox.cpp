#include "ui/lists/LCCheckBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace vx {

CLCCheckBox::CLCCheckBox(const QString& text, int sortColumn, QWidget* parent)
    : QWidget(parent), m_strText(text), m_nSortColumn(sortColumn)
{
    if (sortColumn > 0)
        setCursor(Qt::PointingHandCursor);
}

void CLCCheckBox::SetSelected(bool descending)
{
    if (m_bSelected != descending) {
        m_bSelected = descending;
        update();
    }
}

void CLCCheckBox::SetTextColor(const QColor& c)
{
    m_textColor = c;
    update();
}

void CLCCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(m_textColor);
    p.setFont(font());
    const int textWidth = fontMetrics().horizontalAdvance(m_strText);
    const int arrowSpace = m_nSortColumn > 0 ? 15 : 0;
    const int left = (width() - textWidth - arrowSpace) / 2;
    p.drawText(QRect(left, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, m_strText);
    if (m_nSortColumn <= 0)
        return;
    // Five lines, each two pixels shorter than the one before: 9, 7, 5, 3, 1 pixels wide.
    const int x0 = left + textWidth + 5;
    const int y0 = height() / 2 - 2;
    for (int i = 0; i < 5; ++i) {
        const int y = m_bSelected ? y0 + i : y0 + 4 - i;
        p.drawLine(x0 + i, y, x0 + 8 - i, y);
    }
}

void CLCCheckBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_nSortColumn <= 0 || e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint()))
        return;
    SetSelected(!m_bSelected);
    emit sortRequested(m_nSortColumn, m_bSelected);
}

} // namespace vx
