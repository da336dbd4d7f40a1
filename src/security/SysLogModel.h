#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class TableDataset;

// A read-only grid model over the usage-log dataset.  It follows the
// dataset's signals, so rows written while a view is open appear at once.
class SysLogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SysLogModel(TableDataset* dataset, QObject* parent = nullptr);

    // The shown fields and their titles.
    static QStringList Fields();
    static QStringList Titles();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The row the indicator points at.
    void SetCurrentRow(int row);

    // Deletes the rows from the dataset and writes the deletion in one
    // transaction; when that fails every row is kept (false with *error).
    bool DeleteRows(QList<int> rows, QString* error);

private:
    void OnRowsReset();
    void OnRowInserted(int recNo);
    void OnRowChanged(int recNo);
    void OnRowRemoved(int recNo);
    int DatasetCount() const;

    TableDataset* m_dataset;
    QVector<int> m_fieldIndex;
    // The row count the views were last told about: the dataset has already
    // changed when its signals arrive.
    int m_count = 0;
    int m_current = -1;
    // Set while the model changes the dataset itself and resets once.
    bool m_suspended = false;
};
