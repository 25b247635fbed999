#pragma once
// Notifications: how controls tell their window what happened ("click", "selectchanged",
// "itemselect", "editnewtext" ...). A window implements INotifyUI and handles every
// notification of its controls in one place (Notify), by type and sender name.
//
// SendNotify delivers at once to the nearest enclosing INotifyUI (the control's window).
// PostNotify delivers later, from Qt's event queue: a sender that is gone by then is dropped,
// so a posted notification never reaches a dead control. What a notification carries is
// plain values (indexes, ids, text), never pointers to other controls.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace vx {

struct TNotifyUI
{
    QString sType;
    QPointer<QWidget> pSender;
    QString senderName; // the sender's objectName, kept even if the sender goes away
    int64_t wParam = 0;
    int64_t lParam = 0;
    QString strData; // text carried by the notification ("editnewtext")
};

class INotifyUI
{
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// The receiver of sender's notifications: the nearest ancestor (or the sender itself) that
// implements INotifyUI, or a receiver bound with BindNotifier. Null when there is none.
INotifyUI* FindNotifier(QWidget* sender);
// Binds a receiver to a widget that has no INotifyUI ancestor (pop-ups, tests). The binding
// ends when the widget is destroyed.
void BindNotifier(QWidget* w, INotifyUI* receiver);

void SendNotify(QWidget* sender, const QString& type, int64_t wParam = 0, int64_t lParam = 0,
                const QString& data = QString());
void PostNotify(QWidget* sender, const QString& type, int64_t wParam = 0, int64_t lParam = 0,
                const QString& data = QString());

// Every QAbstractButton below root sends "click" when clicked (our own controls send theirs).
void ConnectButtonClicks(QWidget* root);

} // namespace vx
