#pragma once

#include "SqlConnection.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QVector>
#include <functional>

// The rows of the change log that a filter matches, newest first, fetched
// as the view asks for them: pages ordered by the log key and continued
// below the last key held, each page one short statement, so nothing stays
// open between events and memory follows the rows viewed.
class ChangeLogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColTime, ColUser, ColDesk, ColTable, ColKey, ColAction, ColFields, ColumnCount };

    // Empty members do not filter; a null date leaves that end open.
    struct Filter
    {
        QDate from;
        QDate to;
        QString userID;
        QString table;
        QString action;
        QString key;
    };

    static constexpr int FirstPageSize = 256;
    static constexpr int PageSize = 2048;

    explicit ChangeLogModel(QObject* parent = nullptr);

    // Replaces the list with the first page of the rows matching `filter`.
    // false with the database's message; the list is then empty.
    bool Load(const Filter& filter, QString* error = nullptr);
    const Filter& CurrentFilter() const { return m_filter; }
    bool AllFetched() const { return m_done; }

    qint64 LogID(int row) const;
    QString Table(int row) const;
    QString Action(int row) const;
    // A cell as shown (the changed fields in words).
    QString Text(int row, int column) const;
    static QString Caption(int column);

    // The statement's conditions for `filter` (" where ..." or empty), its
    // values appended to `args`; `below` > 0 adds "LogID < below".
    static QString Where(const Filter& filter, qint64 below, SqlArgs* args);
    // Writes every row matching `filter` into a new .xlsx file, newest
    // first, streamed from the database.  The file appears only complete.
    // `progress` is told the rows written now and then; false from it
    // cancels (no file, *error empty).
    static bool Write(const Filter& filter, const QString& fileName,
                      const std::function<bool(qint64)>& progress, qint64* written, QString* error);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A page could not be read; the rows held so far stay.
    void fetchFailed(const QString& error);

private:
    struct Row
    {
        qint64 logID = 0;
        QString time;
        QString userID;
        QString desk;
        QString table;
        QString key;
        QString action;
        QString fields;
    };
    // Up to `size` rows below the key `below` (0: from the newest).
    static bool FetchPage(const Filter& filter, qint64 below, int size, QVector<Row>* out, bool* done,
                          QString* error);

    Filter m_filter;
    QVector<Row> m_rows;
    bool m_done = true;
    bool m_fetching = false;
};
