#pragma once
// A test double that records instead of acting: a desktop shell that keeps every file and page
// it was asked to open.

#include "ui/DesktopShell.h"

#include <QStringList>
#include <QWidget>

namespace vx::test {

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
