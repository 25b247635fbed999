#pragma once
// One item of the address bar (class name "VXAddressItemUI"): a folder of the shown folder's
// ancestry, or the overflow item in front that stands for the folders that do not fit.

#include <QToolButton>
#include <cstdint>

namespace vx {

class CVXAddressItemUI : public QToolButton
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "VXAddressItemUI";

    // folderId -1: the overflow item.
    CVXAddressItemUI(int64_t folderId, const QString& name, QWidget* parent);

    int64_t FolderId() const { return m_i64Id; }
    bool IsOverflow() const { return m_i64Id < 0; }
    QString FolderName() const { return m_strName; }

private:
    int64_t m_i64Id;
    QString m_strName;
};

} // namespace vx
