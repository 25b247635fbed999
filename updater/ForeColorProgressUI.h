#pragma once
// A progress bar that fills with one plain colour. Attributes come from the form as dynamic
// properties ("barcolor", "bkcolor", "min", "max", "value", "hor") and go through
// SetAttribute, so the form alone decides how the bar looks.

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace vx {

class CForeColorProgressUI : public QWidget
{
    Q_OBJECT

public:
    explicit CForeColorProgressUI(QWidget* parent = nullptr);
    ~CForeColorProgressUI() override;

    // "barcolor": hexadecimal ARGB after one optional "#"; the rest are the bar's own.
    void SetAttribute(const QString& name, const QString& value);

    // Taken only when it differs from the current value and lies within [min, max].
    void SetValue(int value);
    int GetValue() const { return m_nValue; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    int GetMinValue() const { return m_nMin; }
    int GetMaxValue() const { return m_nMax; }
    void SetHorizontal(bool h);
    uint32_t GetBarColor() const { return m_dwBarColor; }

    // The filled part in control coordinates (empty when nothing is filled).
    QRect BarRect() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    static bool ParseColor(const QString& text, uint32_t* argb);

    uint32_t m_dwBarColor = 0; // 0: no bar colour
    uint32_t m_dwBkColor = 0;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    bool m_bHorizontal = true;
};

} // namespace vx
