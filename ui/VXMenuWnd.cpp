#include "ui/VXMenuWnd.h"

#include "app/LanguageTable.h"
#include "ui/Notify.h"
#include "ui/VXButtonUI.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace vx {

namespace {

struct MenuEntry
{
    uint32_t flag;
    const char* name;
    int text;
};

constexpr MenuEntry kEntries[] = {{0x001, "rename", 1020},     {0x002, "delete", 1021},
                                  {0x004, "newfolder", 1022},  {0x008, "refresh", 2001},
                                  {0x010, "trayshow", 5},      {0x020, "exit", 6},
                                  {0x040, "opendirectory", 7}, {0x080, "openconverfile", 8},
                                  {0x100, "coursedetail", 16}, {0x200, "coursefilepath", 17}};

const char* const kBkColor = "#FFF7F7F7";
const char* const kBorderColor = "#FF328CDF";
const char* const kHotBkColor = "#FFE1ECF7";
const char* const kTextColor = "#FF328CDF";

} // namespace

QStringList CVXMenuWnd::EntryNames(uint32_t flags)
{
    QStringList names;
    for (const MenuEntry& e : kEntries)
        if (flags & e.flag)
            names << QString::fromLatin1(e.name);
    return names;
}

CVXMenuWnd::CVXMenuWnd(uint32_t flags, QWidget* owner, int width, const CLanguageTable* texts)
    : QWidget(owner ? owner->window() : nullptr,
              Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_pOwner(owner)
{
    setObjectName(QStringLiteral("VXMenuWnd"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1);
    root->setSpacing(0);
    setAttribute(Qt::WA_StyledBackground); // the style sheet paints the border
    setStyleSheet(QStringLiteral("QWidget#VXMenuWnd { background: #F7F7F7; border: 1px solid #328CDF; }"));

    if (texts && flags) {
        const int fontHeight = QFontMetrics(font()).height();
        for (const MenuEntry& e : kEntries) {
            if (!(flags & e.flag))
                continue;
            const QString name = QString::fromLatin1(e.name);
            auto* b = new CVXButtonUI(this);
            b->ApplyAttributeList(
                QStringLiteral(
                    "name=\"%1\" bkcolor=\"%2\" bordercolor=\"%3\" hotbkcolor=\"%4\" pushedbkcolor=\"%5\" "
                    "textcolor=\"%6\" hottextcolor=\"%7\" pushedtextcolor=\"%8\" height=\"%9\" "
                    "bottombordersize=\"0\" align=\"left\" textpadding=\"%10,%11,0,0\" ")
                    .arg(name, kBkColor, kBorderColor, kHotBkColor, kHotBkColor, kTextColor, kTextColor,
                         kTextColor)
                    .arg(kEntryHeight)
                    .arg(kTextPadding)
                    .arg((kEntryHeight - fontHeight) / 2));
            b->setText(QString::fromStdString(texts->GetText(e.text)));
            b->setFocusPolicy(Qt::NoFocus);
            connect(b, &QAbstractButton::clicked, this, [this, name] { OnEntry(name); });
            root->addWidget(b);
            m_entries << name;
        }
    }
    setFixedSize(width, static_cast<int>(m_entries.size()) * kEntryHeight + 2);
}

CVXMenuWnd::~CVXMenuWnd() = default;

void CVXMenuWnd::ShowAt(const QPoint& globalPos)
{
    QPoint pos = globalPos;
    if (QScreen* s = QGuiApplication::screenAt(globalPos)) {
        const QRect area = s->availableGeometry();
        pos.setX(std::min(pos.x(), area.right() - width()));
        pos.setY(std::min(pos.y(), area.bottom() - height()));
    }
    move(pos);
    show();
}

void CVXMenuWnd::OnEntry(const QString& name)
{
    if (m_bChosen)
        return;
    m_bChosen = true;
    if (m_pOwner)
        PostNotify(m_pOwner, name);
    close();
}

} // namespace vx
