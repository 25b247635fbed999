#pragma once
// A desktop that only records what the window asked it to reveal or open.

#include "ui/DesktopShell.h"

#include <QStringList>

namespace vx::test {

class CShellRecorder : public IDesktopShell
{
public:
    bool RevealFile(const QString& path) override
    {
        opened << path;
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
    QStringList opened;
    QStringList folders; // opened with OpenFolder
};

} // namespace vx::test
