#include "DictionaryModel.h"

#include "TableDataset.h"

DictionaryModel::DictionaryModel(TableDataset* dataset, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset)
{
    connect(dataset, &TableDataset::rowsReset, this, &DictionaryModel::OnRowsReset);
    connect(dataset, &TableDataset::rowInserted, this, &DictionaryModel::OnRowInserted);
    connect(dataset, &TableDataset::rowChanged, this, &DictionaryModel::OnRowChanged);
    connect(dataset, &TableDataset::rowRemoved, this, &DictionaryModel::OnRowRemoved);
    OnRowsReset();
}

void DictionaryModel::SetColumns(const QStringList& titles, const QStringList& fields)
{
    m_titles = titles;
    m_fields = fields;
    OnRowsReset();
}

int DictionaryModel::DatasetCount() const
{
    return m_dataset->IsActive() ? m_dataset->RecordCount() : 0;
}

void DictionaryModel::OnRowsReset()
{
    if (m_suspended)
        return;
    beginResetModel();
    m_fieldIndex.clear();
    for (const QString& field : m_fields)
        m_fieldIndex.append(m_dataset->FieldIndex(field));
    m_inserting = m_dataset->GetState() == MemDataset::State::Insert;
    m_count = DatasetCount() + (m_inserting ? 1 : 0);
    endResetModel();
}

void DictionaryModel::OnRowInserted(int recNo)
{
    if (m_suspended)
        return;
    if (m_inserting && m_dataset->GetState() == MemDataset::State::Browse) {
        // The new row below the last was posted: it is a stored row now.
        m_inserting = false;
        EmitRowChanged(recNo);
        return;
    }
    beginInsertRows(QModelIndex(), recNo, recNo);
    m_count = DatasetCount() + (m_inserting ? 1 : 0);
    endInsertRows();
}

void DictionaryModel::OnRowChanged(int recNo)
{
    if (m_suspended)
        return;
    EmitRowChanged(recNo);
}

void DictionaryModel::OnRowRemoved(int recNo)
{
    if (m_suspended)
        return;
    beginRemoveRows(QModelIndex(), recNo, recNo);
    m_count = DatasetCount() + (m_inserting ? 1 : 0);
    endRemoveRows();
    if (m_count > 0)
        emit headerDataChanged(Qt::Vertical, 0, m_count - 1);
}

void DictionaryModel::EmitRowChanged(int row)
{
    if (row < 0 || row >= m_count)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

int DictionaryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int DictionaryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_titles.size();
}

QVariant DictionaryModel::Value(int row, int column) const
{
    const int f = Field(column);
    if (f < 0 || row < 0 || row >= m_count)
        return {};
    if (m_inserting && row == m_count - 1)
        return m_dataset->Value(f);
    return m_dataset->ValueAt(row, f);
}

QVariant DictionaryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const QVariant v = Value(index.row(), index.column());
        // Every cell is edited as text; the key is checked when it is set.
        if (v.isNull())
            return role == Qt::EditRole ? QVariant(QString()) : QVariant();
        return v.toString();
    }
    if (role == Qt::TextAlignmentRole && index.column() == 0)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant DictionaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_titles.value(section);
    // The row indicator: the current row, "I" while edited, "*" while new.
    if (section != CurrentRow())
        return QString();
    if (m_inserting)
        return QStringLiteral("*");
    return IsEditing() ? QStringLiteral("I") : QStringLiteral("▶");
}

Qt::ItemFlags DictionaryModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool DictionaryModel::IsEditing() const
{
    return m_dataset->GetState() != MemDataset::State::Browse;
}

bool DictionaryModel::IsUnchangedNewRow() const
{
    if (!m_inserting)
        return false;
    for (int f = 0; f < m_dataset->FieldCount(); ++f)
        if (!m_dataset->Value(f).isNull())
            return false;
    return true;
}

int DictionaryModel::EditRow() const
{
    if (!IsEditing())
        return -1;
    return m_inserting ? m_count - 1 : m_dataset->RecNo();
}

int DictionaryModel::CurrentRow() const
{
    if (m_inserting)
        return m_count - 1;
    return DatasetCount() > 0 ? m_dataset->RecNo() : -1;
}

bool DictionaryModel::SetCurrentRow(int row)
{
    if (IsEditing())
        return row == EditRow();
    if (row < 0 || row >= DatasetCount())
        return false;
    m_dataset->MoveTo(row);
    emit headerDataChanged(Qt::Vertical, 0, m_count - 1);
    return true;
}

bool DictionaryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    m_error.clear();
    if (!index.isValid() || role != Qt::EditRole || Field(index.column()) < 0)
        return false;
    const int row = index.row();
    const QString text = value.toString();
    QVariant newValue;
    if (index.column() == 0) {
        const QString trimmed = text.trimmed();
        bool ok = true;
        if (!trimmed.isEmpty())
            newValue = trimmed.toLongLong(&ok);
        if (!ok) {
            m_error = QStringLiteral("%1必须是整数，“%2”不是整数。").arg(m_titles.value(0), trimmed);
            emit inputRefused(m_error);
            return false;
        }
    } else if (!text.isEmpty()) {
        newValue = text;
    }
    // An editor closed without a change leaves the row as it is.
    const QVariant old = Value(row, index.column());
    if (old.isNull() == newValue.isNull() && old.toString() == newValue.toString())
        return true;
    if (!Edit(row)) {
        emit inputRefused(m_error);
        return false;
    }
    m_dataset->SetValue(Field(index.column()), newValue);
    EmitRowChanged(row);
    return true;
}

bool DictionaryModel::PostPendingRow()
{
    if (IsUnchangedNewRow()) {
        Cancel();
        return true;
    }
    return Post();
}

bool DictionaryModel::Edit(int row)
{
    m_error.clear();
    if (IsEditing()) {
        if (EditRow() == row)
            return true;
        if (!PostPendingRow())
            return false;
    }
    if (row < 0 || row >= DatasetCount())
        return false;
    const int before = CurrentRow();
    m_dataset->MoveTo(row);
    m_originalKey = m_dataset->ValueAt(row, Field(0));
    m_dataset->Edit();
    EmitRowChanged(before);
    EmitRowChanged(row);
    return true;
}

bool DictionaryModel::Append()
{
    m_error.clear();
    if (!m_dataset->IsActive()) {
        m_error = QStringLiteral("字典没有打开。");
        return false;
    }
    if (IsEditing()) {
        if (IsUnchangedNewRow())
            return true;
        if (!Post())
            return false;
    }
    const int before = CurrentRow();
    beginInsertRows(QModelIndex(), m_count, m_count);
    m_dataset->Append();
    m_inserting = true;
    m_count = DatasetCount() + 1;
    endInsertRows();
    m_originalKey = QVariant();
    EmitRowChanged(before);
    return true;
}

bool DictionaryModel::CheckKey(QString* error) const
{
    const int f = Field(0);
    const QString title = m_titles.value(0);
    const QVariant key = m_dataset->Value(f);
    if (key.isNull()) {
        *error = QStringLiteral("%1不能为空，请输入%1。").arg(title);
        return false;
    }
    const int editRecNo = m_inserting ? -1 : m_dataset->RecNo();
    for (int r = 0; r < DatasetCount(); ++r) {
        if (r == editRecNo)
            continue;
        const QVariant other = m_dataset->ValueAt(r, f);
        if (!other.isNull() && other.toLongLong() == key.toLongLong()) {
            *error = QStringLiteral("%1 %2 已经存在，请换一个%1。").arg(title).arg(key.toLongLong());
            return false;
        }
    }
    return true;
}

bool DictionaryModel::Post()
{
    m_error.clear();
    if (!IsEditing())
        return true;
    if (Field(0) < 0) {
        m_error = QStringLiteral("字典没有打开。");
        return false;
    }
    if (!CheckKey(&m_error))
        return false;
    const qint64 key = m_dataset->Value(Field(0)).toLongLong();
    const bool keyChanged = !m_inserting && (m_originalKey.isNull() || m_originalKey.toLongLong() != key);
    if (!m_dataset->Post()) {
        m_error = QStringLiteral("保存失败：") + m_dataset->ErrorString();
        return false;
    }
    if (keyChanged) {
        // The key is the row's identity in the table: once it has changed,
        // the rows are read anew so that later writes find this row.
        m_dataset->Requery();
        for (int r = 0; r < DatasetCount(); ++r) {
            if (m_dataset->ValueAt(r, Field(0)).toLongLong() == key) {
                SetCurrentRow(r);
                break;
            }
        }
    }
    return true;
}

void DictionaryModel::Cancel()
{
    if (!IsEditing())
        return;
    if (m_inserting) {
        // Out of insert state before the views hear of the removal: a view
        // moving its current row away from the new one must not post it.
        const int row = m_count - 1;
        m_dataset->Cancel();
        m_inserting = false;
        beginRemoveRows(QModelIndex(), row, row);
        m_count = DatasetCount();
        endRemoveRows();
        if (m_count > 0)
            emit headerDataChanged(Qt::Vertical, 0, m_count - 1);
        return;
    }
    const int row = EditRow();
    m_dataset->Cancel();
    EmitRowChanged(row);
}

bool DictionaryModel::Delete(int row)
{
    m_error.clear();
    if (m_inserting && row == m_count - 1) {
        Cancel();
        return true;
    }
    if (IsEditing() && EditRow() != row && !PostPendingRow())
        return false;
    if (row < 0 || row >= DatasetCount())
        return false;
    if (IsEditing()) {
        m_dataset->Cancel();
        EmitRowChanged(row);
    }
    m_dataset->MoveTo(row);
    // The dataset reports a removal only after it happened: the views are
    // told with a reset instead.
    beginResetModel();
    m_suspended = true;
    const bool deleted = m_dataset->Delete();
    m_suspended = false;
    m_count = DatasetCount();
    endResetModel();
    if (!deleted)
        m_error = QStringLiteral("删除失败：") + m_dataset->ErrorString();
    return deleted;
}
