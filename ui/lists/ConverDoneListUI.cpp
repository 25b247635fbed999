#include "ui/lists/ConverDoneListUI.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "media/MediaInfo.h"
#include "store/CourseStatus.h"
#include "store/LocalDb.h"
#include "ui/lists/ListPaint.h"

#include <QPainter>
#include <algorithm>

namespace vx {

CConverDoneListUI::CConverDoneListUI(QWidget* parent) : CRecordListView(new CConverDoneListModel, 2, parent)
{
    m_pList = static_cast<CConverDoneListModel*>(m_pModel);
    setObjectName(QStringLiteral("ConverDownList"));
    setItemDelegate(new CConverDoneDelegate(this));
    BuildHeader();
}

std::vector<ColumnSpec> CConverDoneListUI::Columns() const
{
    return {
        {QStringLiteral("文件名"), 0, CConverDoneListModel::kColName},
        {QStringLiteral("状态"), 100, CConverDoneListModel::kColStatus},
        {QStringLiteral("大小"), 100, CConverDoneListModel::kColSize},
        {QStringLiteral("时长"), 100, CConverDoneListModel::kColDuration},
        {QStringLiteral("码率"), 100, CConverDoneListModel::kColBitRate},
        {QString(), 20, 0},
        // Wide enough for a whole time stamp in the list's font, so it never runs under the
        // scroll bar or the window's edge.
        {QStringLiteral("转换时间"),
         std::max(130, fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16),
         CConverDoneListModel::kColTime},
    };
}

uint32_t CConverDoneListUI::MenuFlags(bool rowSelected, int selectedCount) const
{
    if (!rowSelected)
        return 0x0C0;
    return selectedCount < 2 ? 0x0C2 : 0x002;
}

const char* CConverDoneListUI::DeleteLogLine() const
{
    return "CConverDoneListUI::DoEvent~~~~ SendNotify(l_pControl, DUI_VXMSGTYPE_DELETE ";
}

bool CConverDoneListUI::RefreshMediaInfo(const std::string& fileIndex)
{
    _sLCItemData* r = m_pList->Find(fileIndex);
    if (!r || r->nFileType == 1)
        return false;
    MiData probed;
    CMediaInfo probe(r->strConvertPath);
    const int code = probe.GetMiData(&probed);
    if (code != MI_OK) {
        Log(g_log, "ERR:RefreshMediaInfo原%s:%s获取MediaInfo失败.ErrCode:%d ", r->strFileName.c_str(),
            r->strConvertPath.c_str(), code);
        return false;
    }
    r->i64FileEnd = probed.i64FileSize;
    r->nWidth = probed.nWidth;
    r->nHeight = probed.nHeight;
    r->miData = probed;
    // The record's own columns, then the converted file's duration and bit rate, which only the
    // conversion-only update writes (and a restart reads back).
    if (m_ctx.db && m_ctx.config) {
        const int64_t user = m_ctx.config->m_i64UserId;
        if (!m_ctx.db->UpdateCourseFile(*r, user) ||
            (!r->strModifyTime.empty() && !m_ctx.db->UpdateCourseFile(*r, user, true)))
            Log(g_log, "Error : the course file %s could not be stored in %s", r->strFilePath.c_str(),
                m_ctx.db->Path().c_str());
    }
    m_pList->Changed(fileIndex);
    return true;
}

QString CConverDoneListUI::DoneStatusText(int32_t status) const
{
    return CachedText(status == CS_UPLOADING ? 2021 : status == CS_UPLOADED ? 2023 : 2020);
}

QSize CConverDoneDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), CRecordListView::kRowHeight);
}

void CConverDoneDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    const ListRow* row = m_pView->Model()->RowAt(index.row());
    if (!row)
        return;
    const _sLCItemData& r = row->record;
    const QRect rc = option.rect;
    p->save();
    p->fillRect(rc, m_pView->RowBackground(index.row()));
    p->setPen(m_pView->RowText(index.row()));
    p->setFont(option.font);
    const std::vector<QRect> cols = m_pView->ColumnRects(rc);
    const QRect name = cols[CConverDoneListUI::kName].adjusted(20, 0, -4, 0);
    const QString shown = m_pView->Model()->data(index, Qt::DisplayRole).toString();
    p->drawText(name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                option.fontMetrics.elidedText(shown, Qt::ElideRight, name.width()));
    PaintCentred(*p, cols[CConverDoneListUI::kStatus], m_pView->DoneStatusText(r.nStatus));
    const QString size = QString::fromStdString(FormatFileSize(r.i64FileEnd));
    if (size.isEmpty())
        PaintDash(*p, cols[CConverDoneListUI::kSize]);
    else
        PaintCentred(*p, cols[CConverDoneListUI::kSize], size);
    const bool media = r.nFileType != 1;
    const int duration = r.miData.nDuration[MI_GENERAL];
    if (media && duration > 0)
        PaintCentred(*p, cols[CConverDoneListUI::kDuration],
                     QString::fromStdString(FormatDuration(duration)));
    else
        PaintDash(*p, cols[CConverDoneListUI::kDuration]);
    const int bitRate = r.miData.nBitRate[MI_GENERAL];
    if (media && bitRate > 0)
        PaintCentred(*p, cols[CConverDoneListUI::kBitRate], QString::asprintf("%dkbps", bitRate / 1000));
    else
        PaintDash(*p, cols[CConverDoneListUI::kBitRate]);
    PaintCentred(*p, cols[CConverDoneListUI::kTime], QString::fromStdString(r.strModifyTime));
    p->restore();
}

} // namespace vx
