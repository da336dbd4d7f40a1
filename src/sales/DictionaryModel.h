#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class TableDataset;

// An editable grid model over a dictionary dataset (an integer key typed by
// the user, a name, a description).  It edits the dataset row by row: the
// first change of a row puts it into edit state, Post writes it (the dataset
// is in immediate mode), Cancel drops it.  A new row is shown below the last
// until it is posted.  The key is checked before anything is written: missing,
// not an integer or already used, the row is refused and stays in edit state.
class DictionaryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DictionaryModel(TableDataset* dataset, QObject* parent = nullptr);

    // The grid's columns: titles and the fields they show; the first field is
    // the integer key.
    void SetColumns(const QStringList& titles, const QStringList& fields);
    QString ColumnTitle(int column) const { return m_titles.value(column); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    bool IsEditing() const;
    bool IsInserting() const { return m_inserting; }
    // A new row nothing has been typed into yet.
    bool IsUnchangedNewRow() const;
    // The row in insert or edit state, -1 when browsing.
    int EditRow() const;
    // The dataset's current row (the new row while inserting).
    int CurrentRow() const;
    // Moves the dataset's cursor; refused while a row is being edited.
    bool SetCurrentRow(int row);

    bool Append();
    bool Edit(int row);
    bool Post();
    void Cancel();
    bool Delete(int row);
    // Why the last Append/Edit/Post/Delete/setData was refused.
    QString ErrorString() const { return m_error; }

signals:
    // setData refused a value; the view shows `message` once editing is over.
    void inputRefused(const QString& message);

private:
    void OnRowsReset();
    void OnRowInserted(int recNo);
    void OnRowChanged(int recNo);
    void OnRowRemoved(int recNo);
    int Field(int column) const { return m_fieldIndex.value(column, -1); }
    QVariant Value(int row, int column) const;
    bool CheckKey(QString* error) const;
    bool PostPendingRow();
    void EmitRowChanged(int row);
    int DatasetCount() const;

    TableDataset* m_dataset;
    QStringList m_titles;
    QStringList m_fields;
    QVector<int> m_fieldIndex;
    int m_count = 0;
    bool m_inserting = false;
    QVariant m_originalKey;
    QString m_error;
    // Set while the model changes the dataset itself and resets once.
    bool m_suspended = false;
};
