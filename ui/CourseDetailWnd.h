#pragma once
// Where a course file lives: its source file, its converted (upload) file and its place in the
// remote space. A click on the source or the converted path shows that file in the file
// manager; the space path is for reading only. The main window keeps one open and gives it
// new paths (SetPaths) instead of opening a second.

#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class CourseDetailWnd;
}

namespace vx {

class CCourseDetailWnd : public CVxDialog
{
    Q_OBJECT

public:
    CCourseDetailWnd(QWidget* owner, const QString& sourcePath, const QString& convertedPath,
                     const QString& spacePath);
    ~CCourseDetailWnd() override;

    void SetPaths(const QString& sourcePath, const QString& convertedPath, const QString& spacePath);
    QString SourcePath() const { return m_strSource; }
    QString ConvertedPath() const { return m_strConverted; }
    QString SpacePath() const { return m_strSpace; }

private slots:
    void OnRevealSource();
    void OnRevealConverted();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void ShowPath(QWidget* target, const QString& path);
    void RefreshLabels();

    std::unique_ptr<Ui::CourseDetailWnd> m_form;
    QString m_strSource, m_strConverted, m_strSpace;
};

} // namespace vx
