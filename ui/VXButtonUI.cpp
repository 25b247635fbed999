#include "ui/VXButtonUI.h"

#include <QRegularExpression>
#include <functional>
#include <utility>

namespace vx {

CVXButtonUI::CVXButtonUI(QWidget* parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
}

void CVXButtonUI::ApplyAttributeList(const QString& list)
{
    static const QRegularExpression re(QStringLiteral("([A-Za-z_]+)\\s*=\\s*\"([^\"]*)\""));
    const std::pair<const char*, std::function<void(const QString&)>> setters[] = {
        {"name", [this](const QString& v) { setObjectName(v); }},
        {"text", [this](const QString& v) { setText(v); }},
        {"tooltip", [this](const QString& v) { setToolTip(v); }},
        {"width", [this](const QString& v) { setFixedWidth(v.toInt()); }},
        {"height", [this](const QString& v) { setFixedHeight(v.toInt()); }},
    };
    for (auto it = re.globalMatch(list); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (const auto& [name, set] : setters)
            if (m.captured(1).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                set(m.captured(2));
    }
}

} // namespace vx
