#include "ui/lists/LCListDelegate.h"

#include "app/Utils.h"
#include "store/CourseStatus.h"
#include "ui/lists/LCListView.h"
#include "ui/lists/ListPaint.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace vx {

namespace {
constexpr int kNameIndent = 20;
const QColor kFailedRed(0xFF, 0x00, 0x00);
} // namespace

CLCListDelegate::CLCListDelegate(CLCListView* view) : QStyledItemDelegate(view), m_pView(view) {}

QSize CLCListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), CRecordListView::kRowHeight);
}

QRect CLCListDelegate::MediaErrorRect(const QRect& name, const QRect& row)
{
    const int nameLeft = name.left() + kNameIndent;
    return QRect(nameLeft - 2 - 16, row.top() + 9, 16, row.height() - 18);
}

void CLCListDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ListRow* row = m_pView->Model()->RowAt(index.row());
    if (!row)
        return;
    const _sLCItemData& r = row->record;
    const QRect rc = option.rect;
    p->save();
    p->fillRect(rc, m_pView->RowBackground(index.row()));
    const QColor text = m_pView->RowText(index.row());
    const bool failed = r.nStatus == CS_CONVERT_FAILED;
    p->setFont(option.font);
    const std::vector<QRect> cols = m_pView->ColumnRects(rc);
    // name
    QRect name = cols[CLCListView::kName].adjusted(kNameIndent, 0, -4, 0);
    p->setPen(failed ? kFailedRed : text);
    p->drawText(
        name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        option.fontMetrics.elidedText(QString::fromStdString(r.strFileName), Qt::ElideRight, name.width()));
    if (r.nMediaError != 0) {
        const QRect icon = MediaErrorRect(cols[CLCListView::kName], rc);
        p->setRenderHint(QPainter::Antialiasing, true);
        p->setPen(Qt::NoPen);
        p->setBrush(QColor(0xE5, 0x39, 0x35));
        p->drawEllipse(icon.adjusted(1, 1, -1, -1));
        p->setPen(QPen(Qt::white, 2));
        const int cx = icon.center().x() + 1;
        p->drawLine(cx, icon.top() + 4, cx, icon.top() + 9);
        p->drawPoint(cx, icon.top() + 12);
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setBrush(Qt::NoBrush);
    }
    p->setPen(text);
    // size
    const QString size = QString::fromStdString(FormatFileSize(r.i64FileSize));
    if (size.isEmpty())
        PaintDash(*p, cols[CLCListView::kSize]);
    else
        PaintCentred(*p, cols[CLCListView::kSize], size);
    // status
    p->setPen(failed ? kFailedRed : text);
    PaintCentred(*p, cols[CLCListView::kStatus], m_pView->StatusText(r.nStatus));
    p->setPen(text);
    // progress: the figure in the upper half, a 7-pixel bar below it
    const QRect pc = cols[CLCListView::kProgress];
    const int progress = std::clamp(r.nProgress, 0, 100);
    const QRect field(pc.right() + 1 - 23 - 105, rc.top() + 2, 105, rc.height() / 2 - 2);
    p->drawText(field, Qt::AlignCenter | Qt::TextSingleLine, QString::asprintf("%d%%", progress));
    const QRect bar(field.left(), rc.top() + rc.height() / 2 + 2, 105, 7);
    p->fillRect(bar, progressBkColor);
    p->fillRect(QRect(bar.left(), bar.top(), progress * 105 / 100, bar.height()), progressFrontColor);
    // picture size and bit rate: media only
    if (r.nFileType != 1) {
        if (r.nWidth > 0 && r.nHeight > 0)
            PaintCentred(*p, cols[CLCListView::kPicture], QString::asprintf("%d*%d", r.nWidth, r.nHeight));
        else
            PaintDash(*p, cols[CLCListView::kPicture]);
        if (r.nFileBits != 0)
            PaintCentred(*p, cols[CLCListView::kBitRate], QString::asprintf("%dkbps", r.nFileBits));
        else
            PaintDash(*p, cols[CLCListView::kBitRate]);
    }
    PaintCentred(*p, cols[CLCListView::kSpeed], SpeedText(r.nSpeed));
    p->restore();
}

bool CLCListDelegate::helpEvent(QHelpEvent* e, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    const ListRow* row = m_pView->Model()->RowAt(index.row());
    if (!row || e->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(e, view, option, index);
    const std::vector<QRect> cols = m_pView->ColumnRects(option.rect);
    if (row->record.nMediaError != 0 &&
        MediaErrorRect(cols[CLCListView::kName], option.rect).contains(e->pos())) {
        QToolTip::showText(e->globalPos(), m_pView->CachedText(2025), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(e, view, option, index);
}

} // namespace vx
