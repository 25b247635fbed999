#pragma once
// A column header of the lists: its text centred, and right of the text a small triangle
// that points down while the header is selected (descending order) and up otherwise. A click
// toggles the direction and asks for the sort; a header without a sort column only shows its
// text.

#include <QColor>
#include <QWidget>

namespace vx {

class CLCCheckBox : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor textColor READ TextColor WRITE SetTextColor)

public:
    explicit CLCCheckBox(const QString& text, int sortColumn, QWidget* parent = nullptr);

    QString Text() const { return m_strText; }
    int SortColumn() const { return m_nSortColumn; }
    bool IsSelected() const { return m_bSelected; }
    void SetSelected(bool descending);
    QColor TextColor() const { return m_textColor; }
    void SetTextColor(const QColor& c);

signals:
    // The user clicked the header: sort by its column in this direction.
    void sortRequested(int column, bool descending);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QString m_strText;
    int m_nSortColumn;
    bool m_bSelected = false;
    QColor m_textColor{0x33, 0x33, 0x33};
};

} // namespace vx
