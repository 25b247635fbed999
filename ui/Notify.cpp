#include "ui/Notify.h"

#include <QAbstractButton>
#include <QMetaObject>

namespace vx {

namespace {

const char* const kNotifierProperty = "vx_notifier";

} // namespace

INotifyUI* FindNotifier(QWidget* sender)
{
    for (QWidget* w = sender; w; w = w->parentWidget()) {
        const QVariant bound = w->property(kNotifierProperty);
        if (bound.isValid())
            return static_cast<INotifyUI*>(bound.value<void*>());
        if (auto* n = dynamic_cast<INotifyUI*>(w))
            return n;
    }
    return nullptr;
}

void BindNotifier(QWidget* w, INotifyUI* receiver)
{
    if (w)
        w->setProperty(kNotifierProperty,
                       receiver ? QVariant::fromValue(static_cast<void*>(receiver)) : QVariant());
}

void SendNotify(QWidget* sender, const QString& type, int64_t wParam, int64_t lParam, const QString& data)
{
    INotifyUI* n = FindNotifier(sender);
    if (!n)
        return;
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.senderName = sender ? sender->objectName() : QString();
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.strData = data;
    n->Notify(msg);
}

void PostNotify(QWidget* sender, const QString& type, int64_t wParam, int64_t lParam, const QString& data)
{
    if (!sender)
        return;
    // The sender is the context: Qt drops the call when it is destroyed before delivery, and
    // the receiver is looked up again at delivery time.
    QMetaObject::invokeMethod(
        sender, [sender, type, wParam, lParam, data] { SendNotify(sender, type, wParam, lParam, data); },
        Qt::QueuedConnection);
}

void ConnectButtonClicks(QWidget* root)
{
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (b->property("vx_click_connected").toBool())
            continue;
        b->setProperty("vx_click_connected", true);
        QObject::connect(b, &QAbstractButton::clicked, b, [b] { SendNotify(b, QStringLiteral("click")); });
    }
}

} // namespace vx
