#include "ui/space/SpaceListDelegate.h"

#include "ui/space/SpaceListModel.h"
#include "ui/space/VXDirListUI.h"

#include <QPainter>

namespace vx {

namespace {
constexpr int kIconSize = 24;
constexpr int kPad = 8;
} // namespace

CSpaceListDelegate::CSpaceListDelegate(CVXDirListUI* list) : QStyledItemDelegate(list), m_pList(list) {}

CSpaceListDelegate::Layout CSpaceListDelegate::LayoutRow(const QRect& row)
{
    Layout l;
    l.size = QRect(row.right() - kSizeWidth - kPad, row.top(), kSizeWidth, row.height());
    const int nameLeft = row.left() + kPad + kIconSize + kPad;
    // A narrow list gives up the time column before the name gets too short to read.
    if (l.size.left() - kTimeWidth - nameLeft >= kMinNameWidth)
        l.time = QRect(l.size.left() - kTimeWidth, row.top(), kTimeWidth, row.height());
    const int right = (l.time.isNull() ? l.size.left() : l.time.left()) - kPad;
    l.name = QRect(nameLeft, row.top() + 4, std::max(kMinNameWidth, right - nameLeft), row.height() - 8);
    return l;
}

QRect CSpaceListDelegate::NameRect(const QRect& row)
{
    return LayoutRow(row).name;
}

void CSpaceListDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    p->save();
    const QRect r = option.rect;
    QColor bk = m_pList->ItemBkColor();
    if (option.state & QStyle::State_Selected)
        bk = m_pList->ItemSelectedBkColor();
    else if (option.state & QStyle::State_MouseOver)
        bk = m_pList->ItemHotBkColor();
    p->fillRect(r, bk);
    p->setPen(m_pList->ItemBorderColor());
    p->drawLine(r.bottomLeft(), r.bottomRight());

    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    icon.paint(p, QRect(r.left() + kPad, r.top() + (r.height() - kIconSize) / 2, kIconSize, kIconSize));

    p->setPen(m_pList->ItemTextColor());
    const Layout l = LayoutRow(r);
    p->drawText(l.size, Qt::AlignVCenter | Qt::AlignRight, index.data(CSpaceListModel::SizeRole).toString());
    if (!l.time.isNull())
        p->drawText(l.time, Qt::AlignVCenter | Qt::AlignLeft,
                    index.data(CSpaceListModel::TimeRole).toString());
    const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                       Qt::ElideMiddle, l.name.width());
    p->drawText(l.name, Qt::AlignVCenter | Qt::AlignLeft, name);
    p->restore();
}

QSize CSpaceListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // No width of its own: a row is as wide as the list, and the name is elided to fit.
    return QSize(0, kRowHeight);
}

} // namespace vx
