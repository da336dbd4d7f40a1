#include "XlsxExport.h"

#include "MemDataset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cmath>
#include <filesystem>
#include <vector>
#include <xlsxwriter.h>

#include <sys/stat.h>

namespace {

// The spreadsheet's limits on one cell's text and on the magnitude of an
// integer it can hold exactly.
constexpr int MaxCellText = 32767;
constexpr qint64 MaxExactInteger = 999999999999999LL;
constexpr double MaxColumnWidth = 60;

bool IsNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

lxw_datetime ToLxw(const QDate& date, const QTime& time)
{
    lxw_datetime dt;
    dt.year = date.year();
    dt.month = date.month();
    dt.day = date.day();
    dt.hour = time.hour();
    dt.min = time.minute();
    dt.sec = time.second() + time.msec() / 1000.0;
    return dt;
}

// The width a text takes in a column: Chinese characters count twice.
double TextWidth(const QString& text)
{
    double width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x2E80 ? 2 : 1;
    return width;
}

// A temporary file is made readable by its owner alone; the finished
// workbook gets the permissions any new file of the user gets.
void GiveUsualPermissions(const QByteArray& fileName)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::error_code ec;
    std::filesystem::permissions(std::filesystem::path(fileName.toStdString()),
                                 std::filesystem::perms(0666 & ~mask), ec);
}

class SheetWriter
{
public:
    SheetWriter(lxw_workbook* book, lxw_worksheet* sheet) : m_sheet(sheet)
    {
        m_dateTime = workbook_add_format(book);
        format_set_num_format(m_dateTime, "yyyy-mm-dd hh:mm:ss");
        m_date = workbook_add_format(book);
        format_set_num_format(m_date, "yyyy-mm-dd");
    }

    lxw_error Write(int row, int column, const QVariant& value)
    {
        const lxw_row_t r = row;
        const lxw_col_t c = column;
        if (value.isNull())
            return LXW_NO_ERROR;
        if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate) {
            const QDateTime dt = value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                                    : value.toDateTime();
            // The spreadsheet's calendar starts in 1900; older dates stay text.
            if (dt.isValid() && dt.date().year() >= 1900) {
                lxw_datetime lxw = ToLxw(dt.date(), dt.time());
                return worksheet_write_datetime(m_sheet, r, c, &lxw,
                                                value.typeId() == QMetaType::QDate ? m_date : m_dateTime);
            }
            return WriteText(r, c, dt.toString("yyyy-MM-dd HH:mm:ss"));
        }
        if (IsNumber(value)) {
            const double number = value.toDouble();
            const qint64 whole = value.toLongLong();
            const bool exact = value.typeId() != QMetaType::LongLong ||
                               (whole >= -MaxExactInteger && whole <= MaxExactInteger);
            if (std::isfinite(number) && exact)
                return worksheet_write_number(m_sheet, r, c, number, nullptr);
        }
        if (value.typeId() == QMetaType::QByteArray)
            return LXW_NO_ERROR; // binary values have no cell form
        return WriteText(r, c, value.toString());
    }

private:
    lxw_error WriteText(lxw_row_t r, lxw_col_t c, const QString& text)
    {
        if (text.isEmpty())
            return LXW_NO_ERROR;
        const QByteArray utf8 = text.left(MaxCellText).toUtf8();
        return worksheet_write_string(m_sheet, r, c, utf8.constData(), nullptr);
    }

    lxw_worksheet* m_sheet;
    lxw_format* m_dateTime;
    lxw_format* m_date;
};

} // namespace

// --- XlsxSheet -----------------------------------------------------------------

XlsxSheet::XlsxSheet(const QString& name) : m_name(name) {}

void XlsxSheet::SetCell(int row, int column, const QVariant& value)
{
    if (row < 1 || column < 1)
        return;
    if (row > m_rows.size())
        m_rows.resize(row);
    QVector<QVariant>& cells = m_rows[row - 1];
    if (column > cells.size())
        cells.resize(column);
    cells[column - 1] = value;
    m_columns = qMax(m_columns, column);
}

QVariant XlsxSheet::Cell(int row, int column) const
{
    if (row < 1 || row > m_rows.size() || column < 1)
        return {};
    return m_rows[row - 1].value(column - 1);
}

void XlsxSheet::Clear()
{
    m_rows.clear();
    m_widths.clear();
    m_columns = 0;
}

void XlsxSheet::SetColumnWidth(int column, double width)
{
    if (column < 1)
        return;
    if (column > m_widths.size())
        m_widths.resize(column);
    m_widths[column - 1] = width;
}

double XlsxSheet::ColumnWidth(int column) const
{
    return column >= 1 && column <= m_widths.size() ? m_widths[column - 1] : 0;
}

// --- XlsxWorkbook ----------------------------------------------------------------

XlsxWorkbook::XlsxWorkbook()
{
    m_sheets.emplace_back();
}

XlsxSheet& XlsxWorkbook::AddSheet(const QString& name)
{
    return m_sheets.emplace_back(name);
}

bool XlsxWorkbook::Save(const QString& fileName, QString* error) const
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (fileName.isEmpty())
        return fail(QStringLiteral("没有指定文件名"));
    const QFileInfo target(fileName);
    if (!target.absoluteDir().exists())
        return fail(QStringLiteral("文件夹不存在：") + QDir::toNativeSeparators(target.absolutePath()));

    // Reserve a name beside the target; libxlsxwriter writes the file there.
    QTemporaryFile temp(target.absolutePath() + "/." + target.fileName() + ".XXXXXX");
    if (!temp.open())
        return fail(QStringLiteral("无法写入文件：") + temp.errorString());
    temp.close();
    const QByteArray tempName = QFile::encodeName(temp.fileName());

    lxw_workbook* book = workbook_new(tempName.constData());
    if (!book)
        return fail(QStringLiteral("无法创建工作簿"));
    lxw_error first = LXW_NO_ERROR;
    for (const XlsxSheet& sheet : m_sheets) {
        const QByteArray name = sheet.Name().toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(book, name.isEmpty() ? nullptr : name.constData());
        if (!ws) {
            first = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
            break;
        }
        for (int c = 1; c <= sheet.ColumnCount(); ++c)
            if (sheet.ColumnWidth(c) > 0)
                worksheet_set_column(ws, c - 1, c - 1, sheet.ColumnWidth(c), nullptr);
        SheetWriter writer(book, ws);
        for (int r = 1; r <= sheet.RowCount() && first == LXW_NO_ERROR; ++r)
            for (int c = 1; c <= sheet.ColumnCount() && first == LXW_NO_ERROR; ++c)
                first = writer.Write(r - 1, c - 1, sheet.Cell(r, c));
        if (first != LXW_NO_ERROR)
            break;
    }
    const lxw_error closed = workbook_close(book);
    if (first == LXW_NO_ERROR)
        first = closed;
    if (first != LXW_NO_ERROR)
        return fail(QString::fromUtf8(lxw_strerror(first)));

    // rename() replaces the target in one step, so no half-written file
    // ever stands under its name.
    GiveUsualPermissions(tempName);
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tempName.toStdString()),
                            std::filesystem::path(QFile::encodeName(target.absoluteFilePath()).toStdString()),
                            ec);
    if (ec)
        return fail(QStringLiteral("无法写入文件：") + QString::fromLocal8Bit(ec.message()));
    temp.setAutoRemove(false);
    return true;
}

// --- filling from a dataset ---------------------------------------------------------

void FillSheetFromDataset(const MemDataset& dataset, int startRow, XlsxSheet& sheet,
                          const QStringList& captions)
{
    const int fields = dataset.FieldCount();
    const int records = dataset.RecordCount();
    int row = startRow + 1;
    QVector<double> widths(fields);
    for (int f = 0; f < fields; ++f) {
        const QString caption = captions.value(f).isEmpty() ? dataset.Field(f).name : captions.value(f);
        sheet.SetCell(row, f + 1, caption);
        widths[f] = TextWidth(caption);
    }
    // Dates are stored at midnight: such a column is shown without time.
    std::vector<bool> dateOnly(fields, false);
    for (int f = 0; f < fields; ++f) {
        if (dataset.Field(f).type != FieldType::DateTime)
            continue;
        dateOnly[f] = true;
        for (int r = 0; r < records && dateOnly[f]; ++r) {
            const QVariant v = dataset.ValueAt(r, f);
            if (!v.isNull() && v.toDateTime().time() != QTime(0, 0))
                dateOnly[f] = false;
        }
    }
    for (int r = 0; r < records; ++r) {
        ++row;
        for (int f = 0; f < fields; ++f) {
            QVariant v = dataset.ValueAt(r, f);
            if (dataset.Field(f).type == FieldType::DateTime && !v.isNull()) {
                v = dateOnly[f] ? QVariant(v.toDateTime().date()) : QVariant(v.toDateTime());
                widths[f] = qMax(widths[f], dateOnly[f] ? 10.0 : 19.0);
            } else if (!v.isNull()) {
                widths[f] = qMax(widths[f], TextWidth(v.toString()));
            }
            sheet.SetCell(row, f + 1, v);
        }
    }
    for (int f = 0; f < fields; ++f)
        sheet.SetColumnWidth(f + 1, qMin(widths[f] + 2, MaxColumnWidth));
}

// --- streaming -------------------------------------------------------------------

class XlsxStreamWriter::Private
{
public:
    QString target;
    std::unique_ptr<QTemporaryFile> temp;
    QByteArray tempName;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    std::unique_ptr<SheetWriter> writer;
    int row = 0;
};

XlsxStreamWriter::XlsxStreamWriter(const QString& fileName) : d(std::make_unique<Private>())
{
    d->target = fileName;
}

XlsxStreamWriter::~XlsxStreamWriter()
{
    Discard();
}

bool XlsxStreamWriter::Open(const QString& sheetName, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (d->target.isEmpty())
        return fail(QStringLiteral("没有指定文件名"));
    const QFileInfo target(d->target);
    if (!target.absoluteDir().exists())
        return fail(QStringLiteral("文件夹不存在：") + QDir::toNativeSeparators(target.absolutePath()));
    d->temp = std::make_unique<QTemporaryFile>(target.absolutePath() + "/." + target.fileName() + ".XXXXXX");
    if (!d->temp->open())
        return fail(QStringLiteral("无法写入文件：") + d->temp->errorString());
    d->temp->close();
    d->tempName = QFile::encodeName(d->temp->fileName());
    // The rows wait in a temporary file of the target's folder, not in memory.
    const QByteArray tmpdir = QFile::encodeName(target.absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    d->book = workbook_new_opt(d->tempName.constData(), &options);
    if (!d->book)
        return fail(QStringLiteral("无法创建工作簿"));
    const QByteArray name = sheetName.toUtf8();
    d->sheet = workbook_add_worksheet(d->book, name.isEmpty() ? nullptr : name.constData());
    if (!d->sheet)
        return fail(QStringLiteral("无法创建工作表"));
    d->writer = std::make_unique<SheetWriter>(d->book, d->sheet);
    return true;
}

void XlsxStreamWriter::SetColumnWidth(int column, double width)
{
    if (d->sheet && column >= 1)
        worksheet_set_column(d->sheet, column - 1, column - 1, width, nullptr);
}

void XlsxStreamWriter::SetCaptionRow()
{
    if (!d->sheet)
        return;
    worksheet_freeze_panes(d->sheet, 1, 0);
    worksheet_repeat_rows(d->sheet, 0, 0);
    worksheet_set_landscape(d->sheet);
}

bool XlsxStreamWriter::AppendRow(const QVariantList& values, QString* error)
{
    if (!d->writer)
        return false;
    for (int c = 0; c < values.size(); ++c) {
        const lxw_error result = d->writer->Write(d->row, c, values[c]);
        if (result != LXW_NO_ERROR) {
            if (error)
                *error = QString::fromUtf8(lxw_strerror(result));
            return false;
        }
    }
    ++d->row;
    return true;
}

bool XlsxStreamWriter::Commit(QString* error)
{
    if (!d->book)
        return false;
    const lxw_error closed = workbook_close(d->book);
    d->book = nullptr;
    d->sheet = nullptr;
    d->writer.reset();
    if (closed != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(closed));
        Discard();
        return false;
    }
    GiveUsualPermissions(d->tempName);
    std::error_code ec;
    std::filesystem::rename(
        std::filesystem::path(d->tempName.toStdString()),
        std::filesystem::path(QFile::encodeName(QFileInfo(d->target).absoluteFilePath()).toStdString()), ec);
    if (ec) {
        if (error)
            *error = QStringLiteral("无法写入文件：") + QString::fromLocal8Bit(ec.message());
        Discard();
        return false;
    }
    d->temp->setAutoRemove(false);
    d->temp.reset();
    return true;
}

void XlsxStreamWriter::Discard()
{
    if (d->book) {
        // Closing is the library's only way to free a workbook; the file it
        // writes is the temporary one, removed below.
        workbook_close(d->book);
        d->book = nullptr;
    }
    d->sheet = nullptr;
    d->writer.reset();
    d->temp.reset(); // removes the temporary file
}
