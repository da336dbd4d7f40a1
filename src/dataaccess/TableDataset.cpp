#include "TableDataset.h"

#include "CommandLog.h"
#include "DataAccess.h"

#include <QRegularExpression>

#include "SqlDialect.h"

namespace {

bool IsIdentifier(const QString& name)
{
    static const QRegularExpression identifier("^[A-Za-z_][A-Za-z0-9_]*$");
    return identifier.match(name).hasMatch();
}

} // namespace

TableDataset::TableDataset(QObject* parent) : QObject(parent) {}

void TableDataset::SetClause(const QString& clause, const SqlArgs& args)
{
    m_clause = clause;
    m_args = args;
}

bool TableDataset::Open(const QString& table, const QString& clause, const SqlArgs& args)
{
    m_table = table;
    SetClause(clause, args);
    return Requery();
}

bool TableDataset::Requery()
{
    m_error.clear();
    if (!IsIdentifier(m_table)) {
        m_error = QStringLiteral("无效的表名：") + m_table;
        return false;
    }
    const QString sql = SqlDialect::KeyedSelect(CurrentConnection(), m_table) +
                        (m_clause.isEmpty() ? QString() : ' ' + m_clause);
    const QString shown = RenderStatement(sql, m_args);
    SqlStatement statement(CurrentConnection(), sql);
    MemDataset loaded;
    if (!statement.IsValid() || !statement.Bind(m_args) || !LoadRows(statement, loaded, true, &m_error)) {
        if (m_error.isEmpty())
            m_error = statement.ErrorString();
        WriteLogLine(QStringLiteral("失败执行：") + shown);
        WriteLogLine(QStringLiteral("失败原因:") + m_error);
        return false;
    }
    WriteLogLine(QStringLiteral("成功执行：") + shown);
    const QString filter = Filter();
    MemDataset::operator=(std::move(loaded));
    if (!filter.isEmpty())
        SetFilter(filter);
    m_deleted.clear();
    m_active = true;
    m_rowidField = FindRowidAlias();
    emit rowsReset();
    return true;
}

int TableDataset::FindRowidAlias() const
{
    SqlStatement info(CurrentConnection(), SqlDialect::PrimaryKeyInfo(CurrentConnection()));
    if (!info.Bind({m_table}))
        return -1;
    QString alias;
    int keys = 0;
    while (info.Step()) {
        if (info.ColumnValue(2).toInt() == 0)
            continue;
        ++keys;
        if (info.ColumnValue(1).toString().compare("INTEGER", Qt::CaseInsensitive) == 0)
            alias = info.ColumnValue(0).toString();
    }
    return keys == 1 && !alias.isEmpty() ? FieldIndex(alias) : -1;
}

void TableDataset::Close()
{
    Clear();
    m_deleted.clear();
    m_active = false;
    emit rowsReset();
}

int TableDataset::ViewIndexOfRow(int rowIndex) const
{
    return m_view.indexOf(rowIndex);
}

bool TableDataset::Post()
{
    m_error.clear();
    if (GetState() == State::Browse)
        return true;
    const bool inserting = GetState() == State::Insert;
    if (inserting) {
        m_editBuffer.change |= Inserted;
    } else {
        Row& stored = m_rows[m_editRow];
        if (stored.change == 0)
            m_editBuffer.original = stored.values;
        m_editBuffer.change |= Modified;
    }
    if (m_mode == UpdateMode::Immediate) {
        Row written = m_editBuffer;
        if (!WriteRow(written))
            return false; // stays in insert/edit state with the typed values
        m_editBuffer = written;
    }
    MemDataset::Post();
    if (inserting)
        emit rowInserted(RecNo());
    else
        emit rowChanged(RecNo());
    return true;
}

void TableDataset::Cancel()
{
    MemDataset::Cancel();
}

bool TableDataset::Delete()
{
    m_error.clear();
    if (GetState() != State::Browse)
        MemDataset::Cancel();
    const int index = CurrentRowIndex();
    if (index < 0)
        return false;
    const Row& row = m_rows[index];
    if (m_mode == UpdateMode::Immediate) {
        if (!DeleteRow(row))
            return false;
    } else if (!(row.change & Inserted)) {
        Deleted d{row, index};
        if (row.change & Modified)
            d.row.values = row.original;
        d.row.change = 0;
        m_deleted.append(d);
    }
    const int recNo = RecNo();
    MemDataset::Delete();
    emit rowRemoved(recNo);
    return true;
}

bool TableDataset::HasPendingUpdates() const
{
    if (!m_deleted.isEmpty())
        return true;
    for (const Row& row : m_rows)
        if (row.change)
            return true;
    return false;
}

bool TableDataset::ApplyUpdates()
{
    m_error.clear();
    if (GetState() != State::Browse && !Post())
        return false;
    if (!HasPendingUpdates())
        return true;
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive()) {
        m_error = CurrentConnection() ? CurrentConnection()->ErrorString() : QStringLiteral("数据库没有打开");
        return false;
    }
    for (const Deleted& d : m_deleted)
        if (!DeleteRow(d.row))
            return false;
    // Written on copies: memory changes only when the whole batch is committed.
    QVector<Row> rows = m_rows;
    for (Row& row : rows)
        if (row.change && !WriteRow(row))
            return false;
    if (!transaction.Commit()) {
        m_error = CurrentConnection()->ErrorString();
        return false;
    }
    m_rows = rows;
    m_deleted.clear();
    emit rowsReset();
    return true;
}

void TableDataset::CancelUpdates()
{
    MemDataset::Cancel();
    QVector<Row> kept;
    for (Row& row : m_rows) {
        if (row.change & Inserted)
            continue;
        if (row.change & Modified) {
            row.values = row.original;
            row.original.clear();
        }
        row.change = 0;
        kept.append(row);
    }
    for (int i = m_deleted.size() - 1; i >= 0; --i)
        kept.insert(qMin(m_deleted[i].index, int(kept.size())), m_deleted[i].row);
    m_deleted.clear();
    m_rows = kept;
    RebuildView();
    SetCursor(0);
    emit rowsReset();
}

bool TableDataset::WriteRow(Row& row)
{
    if (row.change & Inserted) {
        QStringList names, marks;
        SqlArgs args;
        for (int f = 0; f < m_fields.size(); ++f) {
            if (row.values[f].isNull())
                continue;
            names << m_fields[f].name;
            marks << "?";
            args << SqlArg(row.values[f]);
        }
        const QString sql = names.isEmpty() ? "insert into " + m_table + " default values"
                                            : "insert into " + m_table + " (" + names.join(',') +
                                                  ") values (" + marks.join(',') + ")";
        if (CurrentConnection() && CurrentConnection()->IsServer()) {
            // The server names the new row's identity in its answer.
            MemDataset key;
            if (!OpenQuery(sql + " returning rowid", key, args, &m_error))
                return false;
            row.key = key.IsEmpty() ? 0 : key.AsInteger("rowid");
        } else {
            if (!ExecCommand(sql, args, &m_error))
                return false;
            row.key = CurrentConnection()->LastInsertRowid();
        }
        row.change = 0;
        row.original.clear();
        return RereadRow(row);
    }
    if (row.change & Modified) {
        QStringList sets;
        SqlArgs args;
        for (int f = 0; f < m_fields.size(); ++f) {
            const QVariant& before = row.original.value(f);
            const QVariant& after = row.values[f];
            if (before.isNull() == after.isNull() && before == after)
                continue;
            sets << m_fields[f].name + "=?";
            args << SqlArg(after);
        }
        if (!sets.isEmpty()) {
            args << SqlArg(row.key);
            if (!ExecCommand("update " + m_table + " set " + sets.join(',') + " where rowid=?", args,
                             &m_error))
                return false;
            if (!RowWasFound())
                return false;
            if (m_rowidField >= 0 && !row.values[m_rowidField].isNull())
                row.key = row.values[m_rowidField].toLongLong();
        }
        row.change = 0;
        row.original.clear();
    }
    return true;
}

bool TableDataset::DeleteRow(const Row& row)
{
    return ExecCommand("delete from " + m_table + " where rowid=?", {SqlArg(row.key)}, &m_error) &&
           RowWasFound();
}

bool TableDataset::RowWasFound()
{
    // Another program (or another dataset) may have removed the row since it
    // was read: writing nothing is then a failure, not a success.
    if (CurrentConnection()->Changes() > 0)
        return true;
    m_error = QStringLiteral("找不到要更新的记录，它可能已被删除。");
    return false;
}

bool TableDataset::RereadRow(Row& row)
{
    // Picks up what the database filled in itself (an auto-increment key).
    SqlStatement statement(CurrentConnection(),
                           SqlDialect::KeyedSelect(CurrentConnection(), m_table) + " where rowid=?");
    MemDataset fresh;
    if (!statement.IsValid() || !statement.Bind({SqlArg(row.key)}) ||
        !LoadRows(statement, fresh, true, &m_error))
        return true; // the row was written; only the refresh failed
    if (!fresh.IsEmpty() && fresh.FieldCount() == m_fields.size())
        for (int f = 0; f < m_fields.size(); ++f)
            row.values[f] = fresh.Value(f);
    return true;
}
