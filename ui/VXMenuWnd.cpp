#include "ui/VXMenuWnd.h"

#include "app/LanguageTable.h"

#include <QGuiApplication>
#include <QScreen>

namespace vx {

namespace {

struct EntryInfo
{
    CVXMenuWnd::Entry entry;
    const char* name;
    int text;
};

constexpr EntryInfo kEntries[] = {{CVXMenuWnd::Rename, "rename", 1020},
                                  {CVXMenuWnd::Delete, "delete", 1021},
                                  {CVXMenuWnd::NewFolder, "newfolder", 1022},
                                  {CVXMenuWnd::Refresh, "refresh", 2001},
                                  {CVXMenuWnd::TrayShow, "trayshow", 5},
                                  {CVXMenuWnd::Exit, "exit", 6},
                                  {CVXMenuWnd::OpenDirectory, "opendirectory", 7},
                                  {CVXMenuWnd::OpenConvertedFile, "openconverfile", 8},
                                  {CVXMenuWnd::CourseDetail, "coursedetail", 16},
                                  {CVXMenuWnd::CourseFilePath, "coursefilepath", 17}};

} // namespace

QStringList CVXMenuWnd::EntryNames(uint32_t flags)
{
    QStringList names;
    for (const EntryInfo& e : kEntries)
        if (flags & e.entry)
            names << QString::fromLatin1(e.name);
    return names;
}

QString CVXMenuWnd::EntryName(Entry entry)
{
    return EntryNames(entry).value(0);
}

CVXMenuWnd::CVXMenuWnd(uint32_t flags, QWidget* owner, int width, const CLanguageTable* texts)
    : QMenu(owner ? owner->window() : nullptr)
{
    // Colours, border and the entries' height and padding come from the style sheet.
    setObjectName(QStringLiteral("VXMenuWnd"));
    if (texts && flags) {
        for (const EntryInfo& e : kEntries) {
            if (!(flags & e.entry))
                continue;
            QAction* a = addAction(QString::fromStdString(texts->GetText(e.text)));
            a->setObjectName(QString::fromLatin1(e.name));
            a->setData(static_cast<uint>(e.entry));
            const Entry entry = e.entry;
            connect(a, &QAction::triggered, this, [this, entry] {
                if (m_bChosen)
                    return;
                m_bChosen = true;
                emit EntryChosen(entry);
            });
        }
    }
    setFixedWidth(width);
    connect(this, &QMenu::aboutToHide, this, &QObject::deleteLater);
}

CVXMenuWnd::~CVXMenuWnd() = default;

QStringList CVXMenuWnd::Entries() const
{
    QStringList names;
    for (const QAction* a : actions())
        names << a->objectName();
    return names;
}

QAction* CVXMenuWnd::ActionOf(Entry entry) const
{
    for (QAction* a : actions())
        if (a->data().toUInt() == entry)
            return a;
    return nullptr;
}

void CVXMenuWnd::ShowAt(const QPoint& globalPos)
{
    QPoint pos = globalPos;
    const QSize size = sizeHint();
    if (QScreen* s = QGuiApplication::screenAt(globalPos)) {
        const QRect area = s->availableGeometry();
        pos.setX(std::min(pos.x(), area.right() - size.width()));
        pos.setY(std::min(pos.y(), area.bottom() - size.height()));
    }
    popup(pos);
}

} // namespace vx
