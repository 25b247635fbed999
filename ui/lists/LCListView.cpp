#include "ui/lists/LCListView.h"

#include "app/AppConfig.h"
#include "store/LocalDb.h"
#include "ui/lists/LCListDelegate.h"

namespace vx {

CLCListView::CLCListView(QWidget* parent) : CRecordListView(new CLCListModel, 1, parent)
{
    m_pList = static_cast<CLCListModel*>(m_pModel);
    setObjectName(QStringLiteral("LCListView"));
    setItemDelegate(new CLCListDelegate(this));
    BuildHeader();
}

std::vector<ColumnSpec> CLCListView::Columns() const
{
    return {
        {QStringLiteral("文件名"), 0, CLCListModel::kColName},
        {QStringLiteral("大小"), 100, CLCListModel::kColSize},
        {QStringLiteral("状态"), 100, CLCListModel::kColStatus},
        {QStringLiteral("进度"), 150, 0},
        {QStringLiteral("分辨率"), 100, 0},
        {QStringLiteral("码率"), 105, 0},
        {QStringLiteral("速度"), 125, 0},
    };
}

uint32_t CLCListView::MenuFlags(bool rowSelected, int selectedCount) const
{
    if (!rowSelected)
        return 0x300;
    return selectedCount < 2 ? 0x302 : 0x002;
}

const char* CLCListView::DeleteLogLine() const
{
    return "CLCListView::DoEvent  ~~~~ SendNotify(l_pControl, DUI_VXMSGTYPE_DELETE ";
}

std::vector<_sLCItemData> CLCListView::Unfinished() const
{
    std::vector<_sLCItemData> keep;
    for (const _sLCItemData& r : m_pList->AllRecords())
        if (r.nStatus != CS_UPLOADED)
            keep.push_back(r);
    return keep;
}

bool CLCListView::StoreUnfinished()
{
    std::vector<_sLCItemData> keep = Unfinished();
    if (!m_ctx.db || !m_ctx.config || keep.empty())
        return true;
    return m_ctx.db->UpdateCourseFiles(keep, m_ctx.config->m_i64UserId);
}

void CLCListView::RemoveAll()
{
    std::vector<_sLCItemData> keep = Unfinished();
    if (m_ctx.db && m_ctx.config && !keep.empty())
        m_ctx.db->UpdateCourseFilesInBackground(std::move(keep), m_ctx.config->m_i64UserId);
    m_pList->Clear();
    emit m_pList->selectChanged(0, 0);
}

} // namespace vx
