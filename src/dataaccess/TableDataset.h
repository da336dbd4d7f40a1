#pragma once

#include "MemDataset.h"
#include "SqlConnection.h"

#include <QObject>

// An updatable dataset over one table: opened from a SELECT on that table,
// rows appended, edited and deleted in memory and written back either at once
// (each Post/Delete) or as a batch (ApplyUpdates, one transaction).  Every
// failure is reported to the caller through the result and ErrorString(); a
// failed write leaves the database as it was and the change pending.
class TableDataset : public QObject, public MemDataset
{
    Q_OBJECT
public:
    enum class UpdateMode { Immediate, Batch };

    explicit TableDataset(QObject* parent = nullptr);

    void SetUpdateMode(UpdateMode mode) { m_mode = mode; }
    UpdateMode GetUpdateMode() const { return m_mode; }

    // Runs "select * from <table> <clause>" (clause: where/order by with "?").
    bool Open(const QString& table, const QString& clause = {}, const SqlArgs& args = {});
    // Runs the same statement again (pending changes are dropped).
    bool Requery();
    void Close();
    bool IsActive() const { return m_active; }
    QString TableName() const { return m_table; }
    void SetClause(const QString& clause, const SqlArgs& args = {});

    bool Post() override;
    void Cancel() override;
    bool Delete() override;

    bool ApplyUpdates();
    void CancelUpdates();
    bool HasPendingUpdates() const;

    QString ErrorString() const { return m_error; }

signals:
    // Emitted after the rows changed, for models and views over the dataset.
    void rowsReset();
    void rowInserted(int recNo);
    void rowChanged(int recNo);
    void rowRemoved(int recNo);

private:
    enum Change { Inserted = 1, Modified = 2 };
    bool WriteRow(Row& row);
    bool DeleteRow(const Row& row);
    bool RereadRow(Row& row);
    bool RowWasFound();
    int ViewIndexOfRow(int rowIndex) const;
    int FindRowidAlias() const;

    UpdateMode m_mode = UpdateMode::Immediate;
    QString m_table;
    QString m_clause;
    SqlArgs m_args;
    bool m_active = false;
    // The field that is the table's INTEGER PRIMARY KEY (an alias of the
    // rowid), -1 when none: changing it changes the row's identity.
    int m_rowidField = -1;
    QString m_error;
    struct Deleted
    {
        Row row;
        int index;
    };
    QVector<Deleted> m_deleted;
};
