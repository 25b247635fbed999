#pragma once
// Drawing pieces both list delegates use: the dash that stands for "no value", texts centred
// in a column, and the speed text of the course list.

#include <QPainter>
#include <QRect>
#include <QString>
#include <cstdint>

namespace vx {

// The 20 x 1 pixel dash, 40 pixels into the column and 16 below the row's top.
void PaintDash(QPainter& p, const QRect& column);
void PaintCentred(QPainter& p, const QRect& column, const QString& text);
// "%dB/S" up to 1024 B/s, else "%.2fKB/S", or "%.2fMB/S" above 1024 KB/s.
QString SpeedText(int64_t bytesPerSecond);

} // namespace vx
