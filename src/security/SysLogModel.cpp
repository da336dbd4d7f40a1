#include "SysLogModel.h"

#include "TableDataset.h"

#include <algorithm>
#include <functional>

SysLogModel::SysLogModel(TableDataset* dataset, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset)
{
    connect(dataset, &TableDataset::rowsReset, this, &SysLogModel::OnRowsReset);
    connect(dataset, &TableDataset::rowInserted, this, &SysLogModel::OnRowInserted);
    connect(dataset, &TableDataset::rowChanged, this, &SysLogModel::OnRowChanged);
    connect(dataset, &TableDataset::rowRemoved, this, &SysLogModel::OnRowRemoved);
    OnRowsReset();
}

QStringList SysLogModel::Fields()
{
    return {"UserID", "UserName", "LogTime", "LogText"};
}

QStringList SysLogModel::Titles()
{
    return {QStringLiteral("用户代码"), QStringLiteral("用户名称"), QStringLiteral("日志时间"),
            QStringLiteral("日志内容")};
}

int SysLogModel::DatasetCount() const
{
    return m_dataset->IsActive() ? m_dataset->RecordCount() : 0;
}

bool SysLogModel::DeleteRows(QList<int> rows, QString* error)
{
    // From the bottom up, so the row numbers still to come stay valid.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    beginResetModel();
    m_suspended = true;
    for (int row : rows)
        if (m_dataset->MoveTo(row))
            m_dataset->Delete();
    const bool deleted = m_dataset->ApplyUpdates();
    if (!deleted) {
        if (error)
            *error = m_dataset->ErrorString();
        m_dataset->CancelUpdates();
    }
    m_suspended = false;
    m_count = DatasetCount();
    m_current = -1;
    endResetModel();
    return deleted;
}

void SysLogModel::OnRowsReset()
{
    if (m_suspended)
        return;
    beginResetModel();
    m_fieldIndex.clear();
    for (const QString& field : Fields())
        m_fieldIndex.append(m_dataset->FieldIndex(field));
    m_count = DatasetCount();
    m_current = -1;
    endResetModel();
}

void SysLogModel::OnRowInserted(int recNo)
{
    if (m_suspended)
        return;
    if (DatasetCount() == m_count)
        return; // an insert not yet visible to the filter
    beginInsertRows(QModelIndex(), recNo, recNo);
    m_count = DatasetCount();
    endInsertRows();
}

void SysLogModel::OnRowChanged(int recNo)
{
    if (m_suspended)
        return;
    if (recNo >= 0 && recNo < m_count)
        emit dataChanged(index(recNo, 0), index(recNo, columnCount() - 1));
}

void SysLogModel::OnRowRemoved(int recNo)
{
    if (m_suspended)
        return;
    beginRemoveRows(QModelIndex(), recNo, recNo);
    m_count = DatasetCount();
    endRemoveRows();
}

int SysLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int SysLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Fields().size());
}

QVariant SysLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const QVariant v = m_dataset->ValueAt(index.row(), m_fieldIndex.value(index.column(), -1));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString("yyyy-MM-dd HH:mm:ss");
    return v;
}

QVariant SysLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return Titles().value(section);
    return section == m_current ? QStringLiteral("▶") : QString();
}

void SysLogModel::SetCurrentRow(int row)
{
    const int before = m_current;
    m_current = row;
    for (int r : {before, row})
        if (r >= 0 && r < m_count)
            emit headerDataChanged(Qt::Vertical, r, r);
}
