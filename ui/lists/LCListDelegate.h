#pragma once
// Draws one course list row: name (with the media-error icon of a failed probe), source size,
// status text, progress figure and bar, picture size, bit rate and upload speed. A failed
// conversion shows its name and status in red. Over the media-error icon the row's tooltip is
// the probe failure text; elsewhere it is the row's own tooltip (the cause of a failure).

#include <QColor>
#include <QStyledItemDelegate>

namespace vx {

class CLCListView;

class CLCListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CLCListDelegate(CLCListView* view);

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* e, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Where the media-error icon of a row lies.
    static QRect MediaErrorRect(const QRect& nameColumn, const QRect& row);

    QColor progressBkColor{0xDD, 0xE3, 0xEA};
    QColor progressFrontColor{0x3A, 0x8E, 0xE6};

private:
    CLCListView* m_pView;
};

} // namespace vx
