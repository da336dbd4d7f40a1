#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

enum class FieldType { Integer, Float, Text, DateTime, Blob };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Text;
    // For text: the size in GBK bytes; 0 means unbounded.
    int size = 0;
};

// A table held in memory: named, typed fields, rows, a cursor, editing with
// append/edit/post/cancel, simple filters and whole-content copies.  It is
// what OpenQuery fills and what the framework keeps its catalogue, menu and
// grant sets in.
//
// Values are QVariants: qint64 for integers, double, QString, QDateTime,
// QByteArray; a null QVariant is a null field.  Field names match without
// regard to case.  Text assigned to a sized text field is cut to its size in
// GBK bytes, never splitting a character.
class MemDataset
{
public:
    enum class State { Browse, Insert, Edit };

    MemDataset() = default;
    MemDataset(const MemDataset& other) = default;
    MemDataset& operator=(const MemDataset& other) = default;
    MemDataset(MemDataset&& other) = default;
    MemDataset& operator=(MemDataset&& other) = default;
    virtual ~MemDataset() = default;

    // --- structure -------------------------------------------------------
    void AddField(const QString& name, FieldType type, int size = 0);
    void SetFields(const QVector<FieldDef>& fields); // drops all rows
    void Clear();                                     // fields and rows
    int FieldCount() const { return m_fields.size(); }
    const FieldDef& Field(int index) const { return m_fields[index]; }
    const QVector<FieldDef>& Fields() const { return m_fields; }
    int FieldIndex(const QString& name) const; // -1 when absent
    bool HasField(const QString& name) const { return FieldIndex(name) >= 0; }
    QStringList FieldNames() const;
    // Changes names/types/sizes of the existing fields, keeping the rows.
    void ReplaceFieldDefs(const QVector<FieldDef>& fields);

    // --- rows and cursor ---------------------------------------------------
    // Counts the rows the filter lets through.
    int RecordCount() const { return m_view.size(); }
    bool IsEmpty() const { return m_view.isEmpty(); }
    void EmptyDataSet();
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    // 0-based position among the visible rows; -1 when empty.
    int RecNo() const { return m_view.isEmpty() ? -1 : m_cursor; }
    bool MoveTo(int recNo);

    // --- values of the current row -----------------------------------------
    QVariant Value(int field) const;
    // A value of any visible row, without moving the cursor (for models).
    QVariant ValueAt(int recNo, int field) const;
    QVariant Value(const QString& field) const;
    bool IsNull(const QString& field) const;
    QString AsString(const QString& field) const;
    qint64 AsInteger(const QString& field) const;
    double AsFloat(const QString& field) const;
    QDateTime AsDateTime(const QString& field) const;

    // --- editing ----------------------------------------------------------
    State GetState() const { return m_state; }
    void Append();             // new empty row at the end, becomes current
    void Edit();               // current row into edit state
    // Assigns a value in Insert/Edit state; outside them it edits the current
    // row first.  An unknown field is ignored and returns false.
    bool SetValue(const QString& field, const QVariant& value);
    bool SetValue(int field, const QVariant& value);
    virtual bool Post();
    virtual void Cancel();
    virtual bool Delete();     // removes the current row

    // --- filter ------------------------------------------------------------
    // Supported forms: Field='text' and Field=number (a quote inside the text
    // is written doubled).  An empty expression removes the filter.  Returns
    // false (and shows every row) for an expression it cannot read.
    bool SetFilter(const QString& expression);
    void ClearFilter() { SetFilter(QString()); }
    QString Filter() const { return m_filter; }

    // --- bulk ----------------------------------------------------------------
    // Replaces structure and rows with a copy of `other`'s (all rows, filter
    // not applied); the cursor goes to the first row.
    void CopyFrom(const MemDataset& other);
    // Fast path for loaders: appends a finished row (no size cut, no state).
    void AppendRaw(QVector<QVariant>&& values, qint64 key = 0);
    // Ends a bulk load: shows every row and goes to the first.
    void Refresh();

    // Converts a value to the type of `field` (text cut to its size).
    QVariant Coerce(int field, const QVariant& value) const;

protected:
    struct Row
    {
        QVector<QVariant> values;
        qint64 key = 0;       // row identity for TableDataset (SQLite rowid)
        int change = 0;       // TableDataset's pending-change flags
        QVector<QVariant> original;
    };

    // Hooks for TableDataset.
    Row* CurrentRow();
    const Row* CurrentRow() const;
    int CurrentRowIndex() const; // index into m_rows, -1 when none
    void RebuildView();
    void SetCursor(int recNo);

    QVector<FieldDef> m_fields;
    QVector<Row> m_rows;
    QVector<int> m_view;      // indices of visible rows, in order
    int m_cursor = 0;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Browse;
    Row m_editBuffer;
    int m_editRow = -1;       // index into m_rows of the row being edited

private:
    bool Matches(const Row& row) const;
    QString m_filter;
    int m_filterField = -1;
    QVariant m_filterValue;
};
