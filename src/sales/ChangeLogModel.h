#pragma once

#include "PagedListModel.h"

#include <QDate>
#include <functional>

// The rows of the change log that a filter matches, newest first, paged by
// the log key as the view asks for them (the list model every long list of
// the program uses).  The table's name and the changed fields are held as
// stored and put in words when shown: only the rows on screen are parsed.
class ChangeLogModel : public PagedListModel
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

    explicit ChangeLogModel(QObject* parent = nullptr);

    // Replaces the list with the first page of the rows matching `filter`.
    // false with the database's message; the list is then empty.
    bool Load(const Filter& filter, QString* error = nullptr);
    const Filter& CurrentFilter() const { return m_filter; }
    bool AllFetched() const { return !canFetchMore({}); }

    qint64 LogID(int row) const;
    QString Table(int row) const;
    QString Action(int row) const;
    // A cell as shown (the table's caption, the changed fields in words).
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

private:
    QVariant RoleOf(int row, int column, int role) const;

    Filter m_filter;
};
