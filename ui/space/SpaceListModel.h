#pragma once
// The content of the shown folder as a Qt list model: name, icon by type, create time and size,
// and each row's identity. It keeps its own copy of the rows, brought up to date by Sync: the
// same folder changes by row insertions, removals and moves (a rename or a new folder keeps the
// view's scroll position and selection); another folder or a search replaces the rows.

#include "space/SpaceList.h"

#include <QAbstractListModel>
#include <QIcon>
#include <vector>

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

    // Brings the rows to the list's state. True when the rows were replaced as a whole.
    bool Sync();
    // The icon of an entry type: folder, PDF, video, SWF, anything else.
    static QIcon IconFor(int type);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void ResetFrom(const std::vector<SpaceListRow>& rows);

    const CSpaceList& m_list;
    std::vector<SpaceEntry> m_rows;
    int64_t m_i64DirId = -1;
    bool m_bSearch = false;
};

} // namespace vx
