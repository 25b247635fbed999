#pragma once
// The content of the shown folder as a Qt list model over the controller's list: name, icon by
// type, create time and size, and each row's identity. Reset after the list changed.

#include "space/SpaceList.h"

#include <QAbstractListModel>
#include <QIcon>

namespace vx {

class CSpaceListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        IsFolderRole,
        TypeRole,
        TimeRole,
        SizeRole // size text, files only
    };

    explicit CSpaceListModel(const CSpaceList& list, QObject* parent = nullptr);

    void Reset();
    // The icon of an entry type: folder, PDF, video, SWF, anything else.
    static QIcon IconFor(int type);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const CSpaceList& m_list;
};

} // namespace vx
