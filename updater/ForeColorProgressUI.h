#pragma once
// The updater's progress bar: a stock QProgressBar (so a screen reader meets a progress bar)
// that paints only its groove and chunk; their colours come from the stylesheet, the
// percentage is the window's own label.

#include <QProgressBar>
#include <QRect>
#include <QString>

namespace vx {

class CForeColorProgressUI : public QProgressBar
{
    Q_OBJECT

public:
    explicit CForeColorProgressUI(QWidget* parent = nullptr);

    // "min", "max", "value" (numbers) and "hor" ("true" lies horizontally), in any letter case;
    // other names are ignored.
    void SetAttribute(const QString& name, const QString& value);

    // Taken only when it differs from the current value and lies within [min, max].
    void SetValue(int value);
    int GetValue() const { return value(); }
    void SetMinValue(int v) { setMinimum(v); }
    void SetMaxValue(int v) { setMaximum(v); }
    int GetMinValue() const { return minimum(); }
    int GetMaxValue() const { return maximum(); }
    void SetHorizontal(bool h) { setOrientation(h ? Qt::Horizontal : Qt::Vertical); }

    // The filled part in control coordinates (empty when nothing is filled).
    QRect BarRect() const;
};

} // namespace vx
