#include "ui/space/SpaceListModel.h"

#include "app/Utils.h"

namespace vx {

CSpaceListModel::CSpaceListModel(const CSpaceList& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list)
{
}

void CSpaceListModel::Reset()
{
    beginResetModel();
    endResetModel();
}

QIcon CSpaceListModel::IconFor(int type)
{
    // Loaded once: a list of thousands of rows asks for these on every repaint.
    static const QIcon folder(QStringLiteral(":/icons/type_folder.png"));
    static const QIcon pdf(QStringLiteral(":/icons/type_pdf.png"));
    static const QIcon video(QStringLiteral(":/icons/type_video.png"));
    static const QIcon swf(QStringLiteral(":/icons/type_swf.png"));
    static const QIcon other(QStringLiteral(":/icons/type_other.png"));
    switch (type) {
    case SPACE_FOLDER:
        return folder;
    case SPACE_PDF:
        return pdf;
    case SPACE_VIDEO:
        return video;
    case SPACE_SWF:
        return swf;
    default:
        return other;
    }
}

int CSpaceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.Count());
}

QVariant CSpaceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m_list.Count())
        return QVariant();
    const SpaceEntry& e = m_list.Rows()[index.row()].entry;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(e.strName);
    case Qt::ToolTipRole:
        return QString::fromStdString(e.strName);
    case Qt::DecorationRole:
        return IconFor(e.nType);
    case IdRole:
        return QVariant::fromValue<qlonglong>(e.i64Id);
    case IsFolderRole:
        return e.nType == SPACE_FOLDER;
    case TypeRole:
        return e.nType;
    case TimeRole:
        return QString::fromStdString(e.strCreateTime);
    case SizeRole:
        return e.nType == SPACE_FOLDER ? QString() : QString::fromStdString(FormatFileSize(e.i64Size));
    default:
        return QVariant();
    }
}

} // namespace vx
