#include "ui/lists/ListPaint.h"

namespace vx {

void PaintDash(QPainter& p, const QRect& column)
{
    p.fillRect(QRect(column.left() + 40, column.top() + 16, 20, 1), QColor(0x99, 0x99, 0x99));
}

void PaintCentred(QPainter& p, const QRect& column, const QString& text)
{
    p.drawText(column, Qt::AlignCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(text, Qt::ElideRight, column.width()));
}

QString SpeedText(int64_t speed)
{
    if (speed <= 1024)
        return QString::asprintf("%dB/S", static_cast<int>(speed));
    double v = static_cast<double>(speed) / 1024.0;
    if (v > 1024.0)
        return QString::asprintf("%.2fMB/S", v / 1024.0);
    return QString::asprintf("%.2fKB/S", v);
}

} // namespace vx
