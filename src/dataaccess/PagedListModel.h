#pragma once

#include "SqlConnection.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>
#include <functional>

// The rows of one table that a filter or search matches, in columns given by
// a definition, read in pages ordered by the key (or by one column, then the
// key), each page one short statement, so nothing stays open between events.
// A counted list is as long as its count from the start: a page is read when
// one of its rows is first asked for, continuing from the keys of a page read
// before (or from either end of the list, so the last rows are read at once),
// and pages far from the one just read are dropped again and read once more
// by their keys when asked for, so memory stays bounded whatever is viewed.
// A list without a count grows page by page as the view asks for more.  The
// texts of a page live in one UTF-8 block; a row keeps where its texts end.
// Colours and other roles come from a provider the user of the model sets,
// reading marks that the columns' shapers left on each row.
class PagedListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Numbers a shaper may leave on a row (a day, a state, a flag), read by
    // the role provider without parsing texts again.
    static constexpr int MarkCount = 4;
    using Marks = std::array<qint64, MarkCount>;
    // Appends the text shown for a stored value (`n` bytes of UTF-8, null
    // reads as empty) to `block` and may set marks.
    using Shaper = std::function<void(QByteArray& block, const char* text, int n, Marks& marks)>;

    struct Column
    {
        QString caption;
        // What is selected: a column of the table or an expression over it.
        // The key's own name lists the key without storing its text.
        QString field;
        Shaper shape{};
        // Line breaks are shown as spaces (the held text keeps them).
        bool flatten = false;
        // Shown as the role provider says (a figure that changes with the
        // clock); the held text is what the shaper made of the stored value.
        bool computed = false;
    };

    struct Definition
    {
        QString table;
        QString key = QStringLiteral("id");
        QVector<Column> columns;
        // A number read with every row and kept beside it (a row version);
        // empty: none.
        QString version{};
        // Numbers read with every row straight into a mark (whether a row
        // has something elsewhere, say), without a column of their own.
        struct MarkField
        {
            QString field;
            int mark;
            // Turns the stored text into the number (a date into its
            // seconds, say); none: the value is read as a number.
            std::function<qint64(const char* text, int n)> convert{};
        };
        QVector<MarkField> markFields{};
    };

    // Which rows, and in which order.
    struct Query
    {
        QString where; // empty: every row
        SqlArgs args;
        // An index of the table that a range in `where` runs on: counted
        // first, and a narrow range is paged through it.
        QString rangeIndex{};
        // Listed by this column, then the key, instead of by the key alone
        // (an index on (column, key) keeps each page short).
        QString orderColumn{};
        // Instead of `where`: a query of the matching keys as "rowid", ending
        // in its where clause (a full-text index).
        QString keySource{};
        // Newest first: by the key (or the column) downwards.  Not with a
        // key source.
        bool descending = false;
        // The rows of `where` again, as an index of the table finds them by
        // itself (with `indexArgs`): counted through it, and when they are
        // few, read through it and sorted by key; many are read by walking
        // the key with `where`, which tests a row more cheaply.  Not with a
        // key source or an order column.
        QString indexWhere{};
        SqlArgs indexArgs{};
    };

    // Called for the roles the model does not answer itself (anything but
    // display and edit): colours, fonts, alignment.
    using RoleProvider = std::function<QVariant(const PagedListModel& model, int row, int column, int role)>;

    static constexpr int FirstPageSize = 256;
    static constexpr int PageSize = 2048;
    static constexpr int MaxPageSize = 16384;
    // The pages of a counted list after its first.
    static constexpr int WindowPageSize = 512;
    // About this many rows are held at most: the pages farthest from the
    // one just read are dropped first.
    static constexpr int DefaultHeldRowLimit = 32768;
    // A range on an indexed column matching at most this many rows is paged
    // through its index; a wider one walks the table in key order.
    static constexpr qint64 IndexPlanLimit = 20000;
    // An index condition other than `where` is read with the planner told to
    // prefer indexes (SqlDialect::PreferIndexes): tested on every row it may
    // cost far more than `where`.
    // Fewer rows of an index condition than this are read through the
    // index and sorted.  A walk along the key tests about page size x
    // table / matches rows for a page; at a hundred thousand records that
    // is more than the matches below about five thousand.
    static constexpr qint64 IndexSortLimit = 4096;

    explicit PagedListModel(Definition definition, QObject* parent = nullptr);

    const Definition& ListDefinition() const { return m_definition; }
    void SetRoleProvider(RoleProvider provider) { m_roles = std::move(provider); }

    // Off: a counted list too grows page by page as the view scrolls, and
    // every row read stays held (as lists were read before the window; kept
    // for comparison).  Applies from the next load.
    void SetWindowed(bool windowed) { m_windowed = windowed; }
    bool IsWindowed() const { return m_windowed; }
    // Rows held at most (about: a page is never split); at least one page
    // stays.  Applies from the next page read.
    void SetHeldRowLimit(int rows) { m_heldLimit = qMax(1, rows); }
    // The rows whose texts are held now.
    int HeldRowCount() const { return m_held; }

    // Replaces the list with the rows matching `query` and fetches the first
    // page.  With `count` the number of matching rows is read too
    // (MatchCount).  false with the database's message on failure; the list
    // then holds what was read before the failure.
    bool LoadQuery(const Query& query, bool count, QString* error = nullptr);
    void Clear();
    const Query& CurrentQuery() const { return m_query; }
    // -1 when the last load did not count.
    qint64 MatchCount() const { return m_matchCount; }

    // A row not held is read first (with its page); a row that cannot be
    // read gives -1, 0 and empty texts.
    qint64 RecordId(int row) const;
    qint64 RowVersion(int row) const;
    qint64 Mark(int row, int mark) const;
    // The text of a cell as held (shaped, line breaks kept).
    QString Text(int row, int column) const;
    // Drops one row from the list (the database is not touched); a page
    // read again leaves it out.
    bool RemoveListRow(int row);
    // Tells the views that the roles of every row may have changed (a new
    // colour rule, a new day).
    void RolesChanged();

    QString ColumnCaption(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The select list of the definition: the key, the columns, the version.
    QString SelectList() const;

signals:
    // A page could not be read; the rows held so far stay, and no page is
    // read again until the next load.  Told after the event that asked for
    // the page when a view asked while painting.
    void fetchFailed(const QString& error);

private:
    struct Row
    {
        qint64 id = 0;
        qint64 version = 0;
        quint32 start = 0; // of the row's texts in its page's block
        quint32 ends = 0;  // of the row's column ends in its page's ends
        Marks marks{};
    };
    // Where a read continues from: after (or, read backwards, before) a key
    // and the order column's text with it.
    struct Bound
    {
        bool set = false;
        bool inclusive = false;
        qint64 key = 0;
        QByteArray order;
    };
    // A run of consecutive list rows.  Once read, its first and last keys
    // stay known when its texts are dropped, so it is read again by key.
    struct Page
    {
        qint64 first = 0; // list row of its first row
        int size = 0;     // list rows in it
        bool known = false;
        bool loaded = false;
        qint64 firstKey = 0, lastKey = 0;
        QByteArray firstOrder, lastOrder;
        // Keys removed from the list: left out when it is read again.
        QVector<qint64> removed;
        QByteArray block;
        QVector<Row> rows; // fewer than `size` when the table lost rows since
        // Per row, the end of each column's text after the row's start.
        QVector<quint32> ends;
    };

    bool CountMatches(QString* error);
    // The query has an index condition that this list reads.
    bool Indexed() const;
    // Reads up to `limit` rows from `bound` onwards (backwards: before it,
    // handed back in list order), `offset` rows skipped, into `page`.
    bool ReadRows(const Bound& bound, bool backward, int limit, qint64 offset, Page* page, QString* error);
    QString PageStatement(const Bound& bound, bool backward, int limit, qint64 offset, SqlArgs* args) const;
    // Appends the next page of a growing list.
    bool FetchPage(QString* error);
    // Reads page `index` of the list from the nearest keys known.
    bool LoadPage(int index, QString* error);
    void DropFarPages(int keep);
    void DropPage(Page& page);
    int PageOf(int row) const;
    // The row, read first when it is not held; nullptr when it cannot be.
    const Row* RowAt(int row, const Page** page) const;
    Bound HeadBound() const;
    Bound TailBound() const;
    void ResetPages();

    Definition m_definition;
    RoleProvider m_roles;
    QString m_select;
    int m_keyColumn = -1;
    Query m_query;
    QString m_tableHint;
    bool m_indexPlan = false;
    // A walk of the table starts beyond these keys (the first and the last
    // match in list order, just outside them).
    qint64 m_headKey = 0, m_tailKey = 0;
    bool m_keyBounds = false;
    bool m_windowed = true;
    int m_heldLimit = DefaultHeldRowLimit;
    bool m_done = true;
    bool m_failed = false;
    bool m_fetching = false;
    bool m_resetting = false;
    qint64 m_matchCount = -1;
    int m_rowCount = 0;
    int m_held = 0;
    QVector<Page> m_pages;
    mutable int m_lastPage = 0;
    int m_pinned = -1; // a page that must stay held for now
};
