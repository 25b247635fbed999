#include "ui/lists/RecordListView.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "store/CourseStatus.h"
#include "store/LocalDb.h"
#include "ui/Notify.h"
#include "ui/VXMenuWnd.h"
#include "ui/lists/LCCheckBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace vx {

CRecordListView::CRecordListView(CRecordListModel* model, int list, QWidget* parent)
    : QListView(parent), m_pModel(model), m_nList(list)
{
    m_pModel->setParent(this);
    setModel(m_pModel);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(0, kHeaderHeight, 0, 0);
    connect(m_pModel, &CRecordListModel::selectChanged, this, [this](int count, int status) {
        SendNotify(this, QStringLiteral("selectchanged"), count, status);
    });
    connect(m_pModel, &CRecordListModel::stateChanged, this,
            [this](int) { SendNotify(this, QStringLiteral("statechanged")); });
    // Rows come and go under the mouse: the hot row is found again at the next move.
    connect(m_pModel, &QAbstractItemModel::modelReset, this, [this] { m_nHotRow = -1; });
    connect(m_pModel, &QAbstractItemModel::rowsRemoved, this, [this] { m_nHotRow = -1; });
}

CRecordListView::~CRecordListView()
{
    if (m_pMenu)
        delete m_pMenu.data();
}

QString CRecordListView::Text(int number) const
{
    return m_ctx.config ? QString::fromStdString(m_ctx.config->GetText(number)) : QString();
}

QString CRecordListView::CachedText(int number) const
{
    auto it = m_textCache.find(number);
    if (it == m_textCache.end())
        it = m_textCache.insert(number, Text(number));
    return it.value();
}

QString CRecordListView::StatusText(int32_t status) const
{
    return CachedText(StatusTextNo(status));
}

void CRecordListView::BuildHeader()
{
    m_pHeader = new QWidget(this);
    m_pHeader->setObjectName(QStringLiteral("listHeader"));
    m_pHeader->setAutoFillBackground(true);
    QPalette pal = m_pHeader->palette();
    pal.setColor(QPalette::Window, QColor(0xEE, 0xF1, 0xF5));
    m_pHeader->setPalette(pal);
    for (const ColumnSpec& c : Columns()) {
        auto* h = new CLCCheckBox(c.title, c.sortColumn, m_pHeader);
        h->setObjectName(QStringLiteral("sortHeader%1").arg(c.sortColumn));
        connect(h, &CLCCheckBox::sortRequested, this, &CRecordListView::SortBy);
        m_headers.push_back(h);
    }
    LayoutHeader();
}

CLCCheckBox* CRecordListView::Header(int sortColumn) const
{
    for (CLCCheckBox* h : m_headers)
        if (h->SortColumn() == sortColumn)
            return h;
    return nullptr;
}

std::vector<QRect> CRecordListView::ColumnRects(const QRect& row) const
{
    const std::vector<ColumnSpec> cols = Columns();
    int fixed = 0;
    for (const ColumnSpec& c : cols)
        fixed += c.width;
    std::vector<QRect> out;
    int x = row.left();
    const int rest = std::max(0, row.width() - fixed);
    for (const ColumnSpec& c : cols) {
        const int w = c.width > 0 ? c.width : rest;
        out.emplace_back(x, row.top(), w, row.height());
        x += w;
    }
    return out;
}

void CRecordListView::LayoutHeader()
{
    if (!m_pHeader)
        return;
    const QRect vp = viewport()->geometry();
    m_pHeader->setGeometry(vp.left(), frameWidth(), vp.width(), kHeaderHeight);
    const std::vector<QRect> rects = ColumnRects(QRect(0, 0, vp.width(), kHeaderHeight));
    for (size_t i = 0; i < m_headers.size() && i < rects.size(); ++i)
        m_headers[i]->setGeometry(rects[i]);
}

void CRecordListView::updateGeometries()
{
    QListView::updateGeometries();
    LayoutHeader();
}

void CRecordListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>&)
{
    // Rows have one fixed height and no editors, so a changed row only needs drawing again:
    // the list view's own handling repaints the whole viewport for every progress report.
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    const QRect first = visualRect(topLeft);
    const QRect last = visualRect(bottomRight);
    const QRect changed = first.united(last) & viewport()->rect();
    if (!changed.isEmpty())
        viewport()->update(changed);
}

void CRecordListView::resizeEvent(QResizeEvent* e)
{
    QListView::resizeEvent(e);
    LayoutHeader();
}

QColor CRecordListView::RowBackground(int viewRow) const
{
    if (m_pModel->IsSelected(viewRow))
        return m_itemSelectedBkColor;
    if (viewRow == m_nHotRow)
        return m_itemHotBkColor;
    return (viewRow % 2) ? m_itemAlterColor : m_itemBkColor;
}

QColor CRecordListView::RowText(int viewRow) const
{
    if (m_pModel->IsSelected(viewRow))
        return m_itemSelectTextColor;
    if (viewRow == m_nHotRow)
        return m_itemHotTextColor;
    return m_itemTextColor;
}

void CRecordListView::SortBy(int column, bool descending)
{
    if (!SortModel(column, descending))
        return;
    m_nSortColumn = column;
    m_bSortDescending = descending;
    if (CLCCheckBox* h = Header(column))
        h->SetSelected(descending);
    if (m_ctx.db && m_ctx.config)
        m_ctx.db->AddSortRow(SortTab(), SortFolder(), column, descending ? 1 : 0, m_ctx.config->m_i64UserId);
}

bool CRecordListView::RestoreSort()
{
    if (!m_ctx.db || !m_ctx.config)
        return false;
    int column = 0;
    int order = 0;
    if (!m_ctx.db->GetSortRow(SortTab(), SortFolder(), m_ctx.config->m_i64UserId, &column, &order))
        return false;
    if (!SortModel(column, order != 0))
        return false;
    m_nSortColumn = column;
    m_bSortDescending = order != 0;
    if (CLCCheckBox* h = Header(column))
        h->SetSelected(m_bSortDescending);
    return true;
}

void CRecordListView::SetHotRow(int row)
{
    if (row == m_nHotRow)
        return;
    const int old = m_nHotRow;
    m_nHotRow = row;
    if (old >= 0)
        viewport()->update(visualRect(m_pModel->index(old)));
    if (row >= 0)
        viewport()->update(visualRect(m_pModel->index(row)));
}

void CRecordListView::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    const int row = indexAt(e->position().toPoint()).row();
    if (row < 0)
        return;
    if (e->button() == Qt::LeftButton) {
        SendNotify(this, QStringLiteral("itemclick"));
        m_pModel->ItemClick(row, e->modifiers() & Qt::ControlModifier, e->modifiers() & Qt::ShiftModifier);
    } else if (e->button() == Qt::RightButton) {
        const bool selected = m_pModel->IsSelected(row);
        m_menuFileIndex = m_pModel->RowAt(row)->record.strFileIndex;
        if (m_pMenu)
            m_pMenu->close();
        const CLanguageTable* texts = m_ctx.config ? &m_ctx.config->Language() : nullptr;
        m_pMenu = new CVXMenuWnd(MenuFlags(selected, m_pModel->SelectedCount()), this, 140, texts);
        m_pMenu->setObjectName(QStringLiteral("VXDirListItemMenu"));
        connect(m_pMenu, &CVXMenuWnd::EntryChosen, this,
                [this](CVXMenuWnd::Entry entry) { PostNotify(this, CVXMenuWnd::EntryName(entry)); });
        m_pMenu->ShowAt(e->globalPosition().toPoint());
    }
}

void CRecordListView::mouseReleaseEvent(QMouseEvent*) {}

void CRecordListView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && indexAt(e->position().toPoint()).row() >= 0)
        SendNotify(this, QStringLiteral("itemdbclick"));
}

void CRecordListView::mouseMoveEvent(QMouseEvent* e)
{
    SetHotRow(indexAt(e->position().toPoint()).row());
}

void CRecordListView::leaveEvent(QEvent* e)
{
    SetHotRow(-1);
    QListView::leaveEvent(e);
}

void CRecordListView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_A && (e->modifiers() & Qt::ControlModifier)) {
        m_pModel->SelectAll();
        return;
    }
    if (e->key() == Qt::Key_Delete) {
        if (m_pModel->AnchorRow() < 0) {
            Log(g_log, "CLCListView::  is not  selected~");
            return;
        }
        SendNotify(this, QStringLiteral("delete"), 0, kDeleteKey);
        DeleteSelected();
        return;
    }
    QListView::keyPressEvent(e);
}

void CRecordListView::DeleteSelected()
{
    const std::vector<std::string> indexes = m_pModel->SelectedIndexes();
    if (indexes.empty())
        return;
    Log(g_log, "%s", DeleteLogLine());
    if (m_ctx.host)
        m_ctx.host->DeleteItems(m_nList, indexes);
}

} // namespace vx
