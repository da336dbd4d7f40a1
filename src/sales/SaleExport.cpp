#include "SaleExport.h"

#include "SqlDialect.h"

#include "CommandLog.h"
#include "SaleFileColumns.h"
#include "SaleListModel.h"
#include "SqlConnection.h"
#include "XlsxExport.h"

#include <QFileInfo>
#include <QSaveFile>

namespace SaleExport {

namespace {

using SaleFileColumns::Kind;

constexpr int ProgressEvery = 500;

// Column widths of the workbook, in characters.
constexpr double Widths[SaleListModel::ColumnCount] = {8,  10, 14, 14, 14, 30, 12, 12, 9,  9,
                                                       20, 16, 16, 16, 14, 16, 14, 16, 14, 10,
                                                       14, 12, 12, 12, 12, 12, 14, 24, 30};

// A cell of the workbook: dates as dates, the amount as a number, the class
// as 是/否, the rest as stored.
QVariant CellValue(Kind kind, const QVariant& stored)
{
    if (stored.isNull())
        return {};
    const QString text = stored.toString();
    switch (kind) {
    case Kind::Key:
        return stored.toLongLong();
    case Kind::BuyDate:
    case Kind::WarrantyEnd: {
        const QDate date = SaleRecord::DateFromText(text);
        return date.isValid() ? QVariant(date) : QVariant(text);
    }
    case Kind::Class:
        return SaleRecord::ClassText(text);
    case Kind::Amount: {
        bool ok = false;
        const int amount = text.toInt(&ok);
        return ok && !text.startsWith('+') ? QVariant(amount) : QVariant(text);
    }
    default:
        return text;
    }
}

QString CsvText(Kind kind, const QVariant& stored)
{
    const QVariant value = CellValue(kind, stored);
    if (value.typeId() == QMetaType::QDate)
        return SaleRecord::DateText(value.toDate());
    return value.toString();
}

QString CsvField(const QString& text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    QString quoted = text;
    quoted.replace('"', QLatin1String("\"\""));
    return '"' + quoted + '"';
}

void Log(const QString& sql, const SqlArgs& args, const QString& error)
{
    if (error.isEmpty()) {
        WriteLogLine(QStringLiteral("成功执行：") + RenderStatement(sql, args));
    } else {
        WriteLogLine(QStringLiteral("失败执行：") + RenderStatement(sql, args));
        WriteLogLine(QStringLiteral("失败原因:") + error);
    }
}

// Where the rows go: a workbook or a CSV file, both written beside the
// target and put in its place at the end.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual bool Open(QString* error) = 0;
    virtual bool Row(const QVector<QVariant>& stored, QString* error) = 0;
    virtual bool Commit(QString* error) = 0;
};

class XlsxSink : public Sink
{
public:
    explicit XlsxSink(const QString& fileName) : m_writer(fileName) {}
    bool Open(QString* error) override
    {
        if (!m_writer.Open(QStringLiteral("销售记录"), error))
            return false;
        m_writer.SetCaptionRow();
        QVariantList captions;
        for (int c = 0; c < SaleListModel::ColumnCount; ++c) {
            m_writer.SetColumnWidth(c + 1, Widths[c]);
            captions << SaleFileColumns::Caption(c);
        }
        return m_writer.AppendRow(captions, error);
    }
    bool Row(const QVector<QVariant>& stored, QString* error) override
    {
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        QVariantList cells;
        cells.reserve(stored.size());
        for (int c = 0; c < stored.size(); ++c)
            cells << CellValue(columns[c].kind, stored[c]);
        return m_writer.AppendRow(cells, error);
    }
    bool Commit(QString* error) override { return m_writer.Commit(error); }

private:
    XlsxStreamWriter m_writer;
};

class CsvSink : public Sink
{
public:
    explicit CsvSink(const QString& fileName) : m_file(fileName) {}
    bool Open(QString* error) override
    {
        if (!m_file.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("无法写入文件：") + m_file.errorString();
            return false;
        }
        QStringList captions;
        for (int c = 0; c < SaleListModel::ColumnCount; ++c)
            captions << CsvField(SaleFileColumns::Caption(c));
        return Write("\xEF\xBB\xBF" + captions.join(',').toUtf8() + "\r\n", error);
    }
    bool Row(const QVector<QVariant>& stored, QString* error) override
    {
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        QString line;
        for (int c = 0; c < stored.size(); ++c) {
            if (c > 0)
                line += ',';
            line += CsvField(CsvText(columns[c].kind, stored[c]));
        }
        return Write(line.toUtf8() + "\r\n", error);
    }
    bool Commit(QString* error) override
    {
        if (m_file.commit())
            return true;
        *error = QStringLiteral("无法写入文件：") + m_file.errorString();
        return false;
    }

private:
    bool Write(const QByteArray& bytes, QString* error)
    {
        if (m_file.write(bytes) == bytes.size())
            return true;
        *error = QStringLiteral("无法写入文件：") + m_file.errorString();
        return false;
    }
    // A save file is written under a temporary name and renamed by commit();
    // without a commit it is removed.
    QSaveFile m_file;
};

} // namespace

Format FormatOf(const QString& fileName)
{
    return QFileInfo(fileName).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
               ? Format::Csv
               : Format::Xlsx;
}

Outcome Write(const SaleRecord::Condition& condition, const QString& fileName, Format format,
              const Progress& progress, qint64* written, QString* error)
{
    *written = 0;
    error->clear();
    // A quick find names its rows by a query of their ids instead of a where clause.
    const QString where = !condition.keySource.isEmpty() ? " where id in (" + condition.keySource + ")"
                          : condition.where.isEmpty()    ? QString()
                                                         : " where " + condition.where;
    qint64 total = -1;
    if (progress) {
        const QString sql = "select count(*) from SaleInfo" + where;
        SqlStatement count(CurrentConnection(), sql);
        if (!count.IsValid() || !count.Bind(condition.args) || !count.Step()) {
            *error = count.ErrorString();
            Log(sql, condition.args, *error);
            return Outcome::Failed;
        }
        total = count.ColumnValue(0).toLongLong();
        if (!progress(0, total))
            return Outcome::Cancelled;
    }

    // The table in id order: one pass, no sorting, whatever the condition.
    const QString sql = "select " + SaleFileColumns::SelectList() + " from SaleInfo" +
                        SqlDialect::IndexHint(CurrentConnection(), QString()) + where + " order by id";
    SqlStatement select(CurrentConnection(), sql);
    if (!select.IsValid() || !select.Bind(condition.args)) {
        *error = select.ErrorString();
        Log(sql, condition.args, *error);
        return Outcome::Failed;
    }
    std::unique_ptr<Sink> sink;
    if (format == Format::Csv)
        sink = std::make_unique<CsvSink>(fileName);
    else
        sink = std::make_unique<XlsxSink>(fileName);
    if (!sink->Open(error))
        return Outcome::Failed;

    QVector<QVariant> row(SaleListModel::ColumnCount);
    qint64 rows = 0;
    while (select.Step()) {
        for (int c = 0; c < row.size(); ++c)
            row[c] = select.ColumnValue(c);
        if (!sink->Row(row, error))
            return Outcome::Failed;
        ++rows;
        if (progress && rows % ProgressEvery == 0 && !progress(rows, total))
            return Outcome::Cancelled;
    }
    if (select.Failed()) {
        *error = select.ErrorString();
        Log(sql, condition.args, *error);
        return Outcome::Failed;
    }
    Log(sql, condition.args, {});
    if (!sink->Commit(error))
        return Outcome::Failed;
    if (progress)
        progress(rows, total);
    *written = rows;
    return Outcome::Done;
}

} // namespace SaleExport
