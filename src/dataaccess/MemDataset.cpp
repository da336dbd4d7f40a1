#include "MemDataset.h"

#include "GbkText.h"

#include <QRegularExpression>

namespace {

QString DateTimeText(const QDateTime& dt)
{
    return dt.toString("yyyy-MM-dd HH:mm:ss");
}

} // namespace

// --- structure ---------------------------------------------------------------

void MemDataset::AddField(const QString& name, FieldType type, int size)
{
    m_fields.append({name, type, size});
    for (Row& row : m_rows)
        row.values.append(QVariant());
}

void MemDataset::SetFields(const QVector<FieldDef>& fields)
{
    Clear();
    m_fields = fields;
}

void MemDataset::Clear()
{
    m_fields.clear();
    EmptyDataSet();
    m_filter.clear();
    m_filterField = -1;
}

int MemDataset::FieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList MemDataset::FieldNames() const
{
    QStringList names;
    for (const FieldDef& f : m_fields)
        names << f.name;
    return names;
}

void MemDataset::ReplaceFieldDefs(const QVector<FieldDef>& fields)
{
    if (fields.size() == m_fields.size())
        m_fields = fields;
}

// --- rows and cursor -----------------------------------------------------------

void MemDataset::EmptyDataSet()
{
    m_rows.clear();
    m_view.clear();
    m_state = State::Browse;
    m_editRow = -1;
    SetCursor(0);
}

void MemDataset::SetCursor(int recNo)
{
    if (m_view.isEmpty()) {
        m_cursor = 0;
        m_eof = m_bof = true;
        return;
    }
    m_cursor = qBound(0, recNo, int(m_view.size()) - 1);
    m_eof = m_bof = false;
}

void MemDataset::First()
{
    if (m_state != State::Browse)
        Post();
    SetCursor(0);
}

void MemDataset::Last()
{
    if (m_state != State::Browse)
        Post();
    SetCursor(m_view.size() - 1);
}

void MemDataset::Next()
{
    if (m_state != State::Browse)
        Post();
    if (m_view.isEmpty() || m_cursor >= m_view.size() - 1) {
        m_eof = true;
        return;
    }
    ++m_cursor;
    m_bof = false;
}

void MemDataset::Prior()
{
    if (m_state != State::Browse)
        Post();
    if (m_view.isEmpty() || m_cursor == 0) {
        m_bof = true;
        return;
    }
    --m_cursor;
    m_eof = false;
}

bool MemDataset::MoveTo(int recNo)
{
    if (recNo < 0 || recNo >= m_view.size())
        return false;
    if (m_state != State::Browse)
        Post();
    SetCursor(recNo);
    return true;
}

int MemDataset::CurrentRowIndex() const
{
    if (m_view.isEmpty())
        return -1;
    return m_view[m_cursor];
}

MemDataset::Row* MemDataset::CurrentRow()
{
    const int i = CurrentRowIndex();
    return i < 0 ? nullptr : &m_rows[i];
}

const MemDataset::Row* MemDataset::CurrentRow() const
{
    const int i = CurrentRowIndex();
    return i < 0 ? nullptr : &m_rows[i];
}

// --- values ------------------------------------------------------------------------

QVariant MemDataset::Value(int field) const
{
    if (field < 0 || field >= m_fields.size())
        return {};
    if (m_state != State::Browse)
        return m_editBuffer.values.value(field);
    const Row* row = CurrentRow();
    return row ? row->values.value(field) : QVariant();
}

QVariant MemDataset::ValueAt(int recNo, int field) const
{
    if (recNo < 0 || recNo >= m_view.size() || field < 0 || field >= m_fields.size())
        return {};
    if (m_state != State::Browse && recNo == m_cursor && m_state == State::Edit)
        return m_editBuffer.values.value(field);
    return m_rows[m_view[recNo]].values.value(field);
}

QVariant MemDataset::Value(const QString& field) const
{
    return Value(FieldIndex(field));
}

bool MemDataset::IsNull(const QString& field) const
{
    return Value(field).isNull();
}

QString MemDataset::AsString(const QString& field) const
{
    const QVariant v = Value(field);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return DateTimeText(v.toDateTime());
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

qint64 MemDataset::AsInteger(const QString& field) const
{
    const QVariant v = Value(field);
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed().toLongLong();
    return v.toLongLong();
}

double MemDataset::AsFloat(const QString& field) const
{
    return Value(field).toDouble();
}

QDateTime MemDataset::AsDateTime(const QString& field) const
{
    const QVariant v = Value(field);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    return Coerce(FieldIndex(field), v).toDateTime();
}

QVariant MemDataset::Coerce(int field, const QVariant& value) const
{
    if (field < 0 || field >= m_fields.size() || value.isNull())
        return {};
    const FieldDef& def = m_fields[field];
    switch (def.type) {
    case FieldType::Integer: {
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return {};
            return text.toLongLong();
        }
        return value.toLongLong();
    }
    case FieldType::Float:
        return value.toDouble();
    case FieldType::Text: {
        QString text =
            value.typeId() == QMetaType::QDateTime ? DateTimeText(value.toDateTime()) : value.toString();
        if (def.size > 0)
            text = Gbk::Truncate(text, def.size);
        return text;
    }
    case FieldType::DateTime: {
        if (value.typeId() == QMetaType::QDateTime)
            return value;
        if (value.typeId() == QMetaType::QDate)
            return QDateTime(value.toDate(), QTime(0, 0));
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return {};
        QDateTime dt = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(text.left(10), "yyyy-MM-dd"), QTime(0, 0));
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Blob:
        return value.toByteArray();
    }
    return value;
}

// --- editing ---------------------------------------------------------------

void MemDataset::Append()
{
    if (m_state != State::Browse)
        Post();
    m_editBuffer = Row();
    m_editBuffer.values.resize(m_fields.size());
    m_editRow = -1;
    m_state = State::Insert;
}

void MemDataset::Edit()
{
    if (m_state != State::Browse)
        return;
    const Row* row = CurrentRow();
    if (!row) {
        Append();
        return;
    }
    m_editBuffer = *row;
    m_editRow = CurrentRowIndex();
    m_state = State::Edit;
}

bool MemDataset::SetValue(int field, const QVariant& value)
{
    if (field < 0 || field >= m_fields.size())
        return false;
    if (m_state == State::Browse)
        Edit();
    m_editBuffer.values[field] = Coerce(field, value);
    return true;
}

bool MemDataset::SetValue(const QString& field, const QVariant& value)
{
    return SetValue(FieldIndex(field), value);
}

bool MemDataset::Post()
{
    if (m_state == State::Insert) {
        m_rows.append(m_editBuffer);
        m_view.append(m_rows.size() - 1);
        SetCursor(m_view.size() - 1);
    } else if (m_state == State::Edit && m_editRow >= 0) {
        m_rows[m_editRow] = m_editBuffer;
    }
    m_state = State::Browse;
    m_editRow = -1;
    return true;
}

void MemDataset::Cancel()
{
    m_state = State::Browse;
    m_editRow = -1;
}

bool MemDataset::Delete()
{
    if (m_state != State::Browse)
        Cancel();
    const int index = CurrentRowIndex();
    if (index < 0)
        return false;
    m_rows.remove(index);
    m_view.remove(m_cursor);
    for (int& v : m_view)
        if (v > index)
            --v;
    SetCursor(m_cursor);
    return true;
}

// --- filter ---------------------------------------------------------------------

bool MemDataset::SetFilter(const QString& expression)
{
    if (m_state != State::Browse)
        Post();
    m_filter = expression.trimmed();
    m_filterField = -1;
    m_filterValue = QVariant();
    bool ok = true;
    if (!m_filter.isEmpty()) {
        static const QRegularExpression form(R"(^\s*(\w+)\s*=\s*(?:'((?:[^']|'')*)'|(-?\d+(?:\.\d+)?))\s*$)");
        const QRegularExpressionMatch m = form.match(m_filter);
        m_filterField = m.hasMatch() ? FieldIndex(m.captured(1)) : -1;
        if (m_filterField < 0) {
            ok = false;
            m_filter.clear();
        } else if (m.capturedStart(2) >= 0) {
            m_filterValue = m.captured(2).replace("''", "'");
        } else {
            m_filterValue = m.captured(3).toDouble();
        }
    }
    RebuildView();
    SetCursor(0);
    return ok;
}

bool MemDataset::Matches(const Row& row) const
{
    if (m_filterField < 0)
        return true;
    const QVariant& v = row.values.value(m_filterField);
    if (m_filterValue.typeId() == QMetaType::Double) {
        if (v.isNull())
            return false;
        bool ok = false;
        const double d =
            v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        return ok && d == m_filterValue.toDouble();
    }
    if (v.isNull())
        return m_filterValue.toString().isEmpty();
    const QString text = v.typeId() == QMetaType::QDateTime ? DateTimeText(v.toDateTime()) : v.toString();
    return text == m_filterValue.toString();
}

void MemDataset::RebuildView()
{
    m_view.clear();
    m_view.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i)
        if (Matches(m_rows[i]))
            m_view.append(i);
}

// --- bulk -------------------------------------------------------------------------

void MemDataset::CopyFrom(const MemDataset& other)
{
    if (&other == this)
        return;
    m_fields = other.m_fields;
    m_rows = other.m_rows;
    for (Row& row : m_rows) {
        row.change = 0;
        row.original.clear();
    }
    m_filter.clear();
    m_filterField = -1;
    m_state = State::Browse;
    m_editRow = -1;
    RebuildView();
    SetCursor(0);
}

void MemDataset::AppendRaw(QVector<QVariant>&& values, qint64 key)
{
    Row row;
    row.key = key;
    row.values = std::move(values);
    row.values.resize(m_fields.size());
    m_rows.append(std::move(row));
}

void MemDataset::Refresh()
{
    m_state = State::Browse;
    m_editRow = -1;
    RebuildView();
    SetCursor(0);
}
