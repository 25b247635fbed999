#include "ui/VxDialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace vx {

CVxDialog::CVxDialog(QWidget* owner, Qt::WindowFlags flags) : QDialog(owner, flags | Qt::FramelessWindowHint)
{
    m_autoClose.setSingleShot(true);
    m_autoClose.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5% early
    connect(&m_autoClose, &QTimer::timeout, this, [this] { done(kResultClose); });
}

CVxDialog::~CVxDialog() = default;

void CVxDialog::StartAutoClose(int ms)
{
    m_autoClose.start(ms);
}

void CVxDialog::CenterOverOwner()
{
    adjustSize();
    QRect area;
    if (QWidget* o = parentWidget(); o && o->window()->isVisible())
        area = o->window()->frameGeometry();
    else if (QScreen* s = QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (!area.isEmpty())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void CVxDialog::done(int result)
{
    m_autoClose.stop();
    QDialog::done(result);
}

void CVxDialog::reject()
{
    done(kResultClose);
}

void CVxDialog::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && e->position().y() < m_nCaptionHeight) {
        m_bDragging = true;
        m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(e);
}

void CVxDialog::mouseMoveEvent(QMouseEvent* e)
{
    if (m_bDragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragOffset);
    QDialog::mouseMoveEvent(e);
}

void CVxDialog::mouseReleaseEvent(QMouseEvent* e)
{
    m_bDragging = false;
    QDialog::mouseReleaseEvent(e);
}

} // namespace vx
