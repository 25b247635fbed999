#include "ui/VXsiComboUI.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyledItemDelegate>

namespace vx {

namespace {

QIcon DeleteIcon()
{
    static const QIcon icon(QStringLiteral(":/icons/delete.svg"));
    return icon;
}

// Rows of a fixed height in the stylesheet's colours; the hovered or highlighted row shows the
// delete icon over its right end, on the row's own background.
class CAccountItemDelegate : public QStyledItemDelegate
{
public:
    explicit CAccountItemDelegate(CVXsiComboUI* combo) : QStyledItemDelegate(combo), m_combo(combo) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), CVXsiComboUI::kItemHeight);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        const bool marked = o.state & (QStyle::State_MouseOver | QStyle::State_Selected);
        const bool icon = marked && m_combo->ShowsDeleteIcon();
        if (icon) {
            // The background spans the whole row; the text stops short of the icon.
            initStyleOption(&o, index);
            const QWidget* view = option.widget;
            (view ? view->style() : QApplication::style())
                ->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, p, view);
            o.rect.setRight(CVXsiComboUI::DeleteIconRect(option.rect).left() - 4);
        }
        QStyledItemDelegate::paint(p, o, index);
        if (icon)
            DeleteIcon().paint(p, CVXsiComboUI::DeleteIconRect(option.rect));
    }

private:
    CVXsiComboUI* m_combo;
};

} // namespace

CVXsiComboUI::CVXsiComboUI(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new CAccountItemDelegate(this));
    // Installed after the combo's own pop-up filters, so these run first.
    view()->installEventFilter(this);
    view()->viewport()->installEventFilter(this);
    view()->viewport()->setAttribute(Qt::WA_Hover);
    connect(this, &QComboBox::currentIndexChanged, this, &CVXsiComboUI::OnCurrentIndexChanged);
}

void CVXsiComboUI::OnCurrentIndexChanged(int index)
{
    const int previous = m_iPrevious;
    m_iPrevious = index;
    if (!m_bQuiet && index >= 0)
        emit ItemSelected(index, previous);
}

bool CVXsiComboUI::SelectItem(int index, bool takeFocus)
{
    CloseDropDown();
    if (index < 0 || count() == 0) {
        setCurrentIndex(-1);
        return false;
    }
    setCurrentIndex(std::min(index, count() - 1));
    if (takeFocus)
        setFocus();
    return true;
}

void CVXsiComboUI::AddItem(const QString& text)
{
    const int current = currentIndex();
    m_bQuiet = true;
    addItem(text);
    setCurrentIndex(current);
    m_bQuiet = false;
}

bool CVXsiComboUI::RemoveAt(int index)
{
    if (index < 0 || index >= count())
        return false;
    CloseDropDown();
    m_bQuiet = true;
    if (index == currentIndex())
        setCurrentIndex(-1);
    removeItem(index);
    m_bQuiet = false;
    return true;
}

void CVXsiComboUI::RemoveAll()
{
    CloseDropDown();
    m_bQuiet = true;
    clear();
    m_bQuiet = false;
}

bool CVXsiComboUI::Activate()
{
    if (!isEnabled())
        return false;
    if (!DropDown())
        showPopup();
    return true;
}

QWidget* CVXsiComboUI::DropDown() const
{
    QWidget* popup = view()->window();
    return popup != window() && popup->isVisible() ? popup : nullptr;
}

void CVXsiComboUI::SetShowDeleteIcon(bool show)
{
    m_bShowDelIcon = show;
    view()->viewport()->update();
}

QRect CVXsiComboUI::DeleteIconRect(const QRect& row)
{
    return QRect(row.right() + 1 - 21, row.top() + 10, 9, 9);
}

void CVXsiComboUI::SetExpand(bool expand)
{
    if (expand == m_bPartnerHot)
        return;
    m_bPartnerHot = expand;
    // The border comes from the stylesheet, which reads the property when the style is renewed.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void CVXsiComboUI::showPopup()
{
    // The list was made with the combo, before it had its name and place in a window: its
    // stylesheet rules are looked up again, now that the selectors can match.
    for (QWidget* part : {static_cast<QWidget*>(view()), view()->viewport(), view()->window()}) {
        part->style()->unpolish(part);
        part->style()->polish(part);
    }
    QComboBox::showPopup();
    QWidget* popup = DropDown();
    if (!popup)
        return;
    // Rows + 4 (the frame; more when the stylesheet draws a thicker one, so that every row
    // stays whole), at most the drop-box height; centred under the combo when the box has a
    // width of its own; above the combo when the screen has no room below.
    const int frame = std::max(4, popup->height() - view()->viewport()->height());
    int h = count() * kItemHeight + frame;
    if (m_szDropBox.height() > 0)
        h = std::min(h, m_szDropBox.height());
    const int w = m_szDropBox.width() > 0 ? m_szDropBox.width() : width();
    QPoint topLeft = mapToGlobal(QPoint((width() - w) / 2, height()));
    if (m_szDropBox.width() <= 0)
        topLeft.rx() = mapToGlobal(QPoint(0, 0)).x();
    if (QScreen* s = screen(); s && topLeft.y() + h > s->availableGeometry().bottom())
        topLeft = mapToGlobal(QPoint(0, -h));
    popup->setGeometry(QRect(topLeft, QSize(w, h)));
    view()->scrollTo(view()->currentIndex());
    emit DroppedDown();
}

void CVXsiComboUI::hidePopup()
{
    if (DropDown())
        QComboBox::hidePopup();
}

void CVXsiComboUI::RequestDelete(int index)
{
    hidePopup();
    QPointer<CVXsiComboUI> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, index] {
            if (self)
                emit self->ItemDeleteRequested(index);
        },
        Qt::QueuedConnection);
}

bool CVXsiComboUI::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == view()->viewport() && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint at = me->position().toPoint();
        const QModelIndex index = view()->indexAt(at);
        if (index.isValid() && (me->button() == Qt::LeftButton || me->button() == Qt::RightButton)) {
            emit ItemClicked(index.row());
            if (m_bShowDelIcon &&
                DeleteIconRect(view()->visualRect(index)).adjusted(-2, -2, 2, 2).contains(at)) {
                RequestDelete(index.row());
                return true;
            }
        }
    } else if (watched == view() && e->type() == QEvent::KeyPress && m_bShowDelIcon) {
        // Delete or Shift+Delete removes the highlighted account, as its icon does.
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete && view()->currentIndex().isValid()) {
            RequestDelete(view()->currentIndex().row());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, e);
}

void CVXsiComboUI::wheelEvent(QWheelEvent* e)
{
    // A closed combo keeps its account when the wheel passes over it.
    e->ignore();
}

} // namespace vx
