#pragma once
// Test doubles that record instead of acting: a window that keeps every notification it gets,
// and a desktop shell that keeps every file and page it was asked to open.

#include "ui/DesktopShell.h"
#include "ui/Notify.h"

#include <QStringList>
#include <QWidget>
#include <vector>

namespace vx::test {

class CNotifyRecorder : public QWidget, public INotifyUI
{
public:
    explicit CNotifyRecorder(QWidget* parent = nullptr) : QWidget(parent) { resize(400, 300); }
    void Notify(TNotifyUI& msg) override { messages.push_back(msg); }
    // "type:sender" of every notification, in order.
    QStringList Log() const
    {
        QStringList l;
        for (const TNotifyUI& m : messages)
            l << m.sType + QLatin1Char(':') + m.senderName;
        return l;
    }
    int Count(const QString& type) const
    {
        int n = 0;
        for (const TNotifyUI& m : messages)
            n += m.sType == type;
        return n;
    }
    std::vector<TNotifyUI> messages;
};

class CDesktopRecorder : public IDesktopShell
{
public:
    CDesktopRecorder() { SetDesktop(this); }
    ~CDesktopRecorder() override { SetDesktop(nullptr); }
    bool RevealFile(const QString& path) override
    {
        revealed << path;
        return true;
    }
    bool OpenFolder(const QString& path) override
    {
        folders << path;
        return true;
    }
    bool OpenUrl(const QString& url) override
    {
        opened << url;
        return true;
    }
    QStringList revealed;
    QStringList folders;
    QStringList opened;
};

} // namespace vx::test
