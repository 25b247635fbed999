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

QRect CSpaceListDelegate::NameRect(const QRect& row)
{
    const int left = row.left() + kPad + kIconSize + kPad;
    const int right = row.right() - kSizeWidth - kTimeWidth - kPad;
    return QRect(left, row.top() + 4, std::max(40, right - left), row.height() - 8);
}

void CSpaceListDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
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
    const QRect sizeRect(r.right() - kSizeWidth - kPad, r.top(), kSizeWidth, r.height());
    const QRect timeRect(sizeRect.left() - kTimeWidth, r.top(), kTimeWidth, r.height());
    p->drawText(sizeRect, Qt::AlignVCenter | Qt::AlignRight, index.data(CSpaceListModel::SizeRole).toString());
    p->drawText(timeRect, Qt::AlignVCenter | Qt::AlignLeft, index.data(CSpaceListModel::TimeRole).toString());
    const QRect nameRect = NameRect(r);
    const QString name =
        option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, nameRect.width());
    p->drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft, name);
    p->restore();
}

QSize CSpaceListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), kRowHeight);
}

} // namespace vx
