#include "ui/space/VXAddressItemUI.h"

namespace vx {

CVXAddressItemUI::CVXAddressItemUI(int64_t folderId, const QString& name, QWidget* parent)
    : QToolButton(parent), m_i64Id(folderId), m_strName(name)
{
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setText(IsOverflow() ? QStringLiteral("«") : name + QStringLiteral("  ›"));
    setToolTip(IsOverflow() ? QStringLiteral("上层文件夹") : name);
    setAccessibleName(IsOverflow() ? QStringLiteral("上层文件夹") : name);
    setObjectName(IsOverflow() ? QStringLiteral("addressOverflow") : QStringLiteral("addressItem"));
}

} // namespace vx
