#pragma once
// Paints one row of the space list: from the right, the size (files only) and the create
// time; from the left, the type icon and the name (elided). Colours come from the list's
// properties, so a form can set them.

#include <QStyledItemDelegate>

namespace vx {

class CVXDirListUI;

class CSpaceListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kRowHeight = 34;
    static constexpr int kTimeWidth = 150;
    static constexpr int kSizeWidth = 90;
    static constexpr int kMinNameWidth = 120;

    // Where a row's parts go; time is empty when the row is too narrow for it.
    struct Layout
    {
        QRect name;
        QRect time;
        QRect size;
    };
    static Layout LayoutRow(const QRect& row);

    explicit CSpaceListDelegate(CVXDirListUI* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Where the name is drawn in a row (the rename edit goes there).
    static QRect NameRect(const QRect& row);

private:
    CVXDirListUI* m_pList;
};

} // namespace vx
