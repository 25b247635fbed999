#include "ui/space/VXDirAddressUI.h"

#include "space/SpaceAddress.h"
#include "ui/space/VXAddressItemUI.h"

#include <QFontMetrics>
#include <QMenu>
#include <QResizeEvent>

namespace vx {

namespace {
constexpr int kOverflowWidth = 28;
}

CVXDirAddressUI::CVXDirAddressUI(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_pOverflow = new CVXAddressItemUI(-1, QString(), this);
    m_pOverflow->hide();
    connect(m_pOverflow, &QToolButton::clicked, this, [this] { ShowOverflowMenu(); });
}

void CVXDirAddressUI::SetPath(const std::vector<std::pair<int64_t, QString>>& folders)
{
    qDeleteAll(m_items);
    m_items.clear();
    for (const auto& [id, name] : folders) {
        auto* item = new CVXAddressItemUI(id, name, this);
        connect(item, &QToolButton::clicked, this, [this, id = id] { emit FolderClicked(id); });
        m_items.push_back(item);
    }
    if (!m_items.isEmpty())
        m_items.back()->setText(m_items.back()->FolderName());
    LayoutItems();
}

void CVXDirAddressUI::LayoutItems()
{
    if (!m_items.isEmpty())
        m_items.back()->setText(m_items.back()->FolderName()); // its full width, not the last cut
    std::vector<int> widths;
    for (CVXAddressItemUI* item : m_items)
        widths.push_back(item->sizeHint().width());
    m_nFirstShown = static_cast<int>(CSpaceAddress::FirstShown(widths, width()));
    const bool overflow = m_nFirstShown > 0;
    m_pOverflow->setVisible(overflow);
    int x = 0;
    if (overflow) {
        m_pOverflow->setGeometry(0, 0, kOverflowWidth, height());
        x = kOverflowWidth;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        CVXAddressItemUI* item = m_items[i];
        if (i < m_nFirstShown) {
            item->hide();
            continue;
        }
        // The last item takes what is left when even it alone is too wide.
        const bool last = i == m_items.size() - 1;
        const int w = last ? std::min(widths[i], std::max(0, width() - x)) : widths[i];
        if (last) {
            // Cut short at its end with an ellipsis rather than clipped on both sides.
            const QFontMetrics fm = item->fontMetrics();
            const int padding = widths[i] - fm.horizontalAdvance(item->FolderName());
            item->setText(w < widths[i] ? fm.elidedText(item->FolderName(), Qt::ElideRight, w - padding)
                                        : item->FolderName());
        }
        item->setGeometry(x, 0, w, height());
        item->show();
        x += w;
    }
}

void CVXDirAddressUI::ShowOverflowMenu()
{
    QMenu menu(this);
    for (int i = m_nFirstShown - 1; i >= 0; --i) {
        const int64_t id = m_items[i]->FolderId();
        menu.addAction(m_items[i]->FolderName(), this, [this, id] { emit FolderClicked(id); });
    }
    menu.exec(m_pOverflow->mapToGlobal(QPoint(0, m_pOverflow->height())));
}

QSize CVXDirAddressUI::sizeHint() const
{
    return QSize(300, 28);
}

QSize CVXDirAddressUI::minimumSizeHint() const
{
    return QSize(60, 28);
}

void CVXDirAddressUI::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    LayoutItems();
}

} // namespace vx
