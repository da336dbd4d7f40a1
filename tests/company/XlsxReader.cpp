#include "XlsxReader.h"

#include <QFile>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

#include <archive.h>
#include <archive_entry.h>

QByteArray ReadZipEntry(const QString& zipFile, const QString& entry)
{
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    QByteArray data;
    if (archive_read_open_filename(a, QFile::encodeName(zipFile).constData(), 16384) == ARCHIVE_OK) {
        archive_entry* e;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            if (QString::fromUtf8(archive_entry_pathname(e)) != entry) {
                archive_read_data_skip(a);
                continue;
            }
            char buffer[16384];
            la_ssize_t n;
            while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
                data.append(buffer, n);
            break;
        }
    }
    archive_read_free(a);
    return data;
}

namespace {

QStringList SharedStrings(const QByteArray& xml)
{
    QStringList strings;
    QXmlStreamReader r(xml);
    QString current;
    bool inSi = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"si") {
            inSi = true;
            current.clear();
        } else if (r.isStartElement() && r.name() == u"t" && inSi) {
            current += r.readElementText();
        } else if (r.isEndElement() && r.name() == u"si") {
            strings << current;
            inSi = false;
        }
    }
    return strings;
}

// The number format code of every cell style (cellXfs order).
QStringList StyleFormats(const QByteArray& xml)
{
    QMap<int, QString> codes{{14, "m/d/yyyy"}, {22, "m/d/yyyy h:mm"}};
    QStringList formats;
    QXmlStreamReader r(xml);
    bool inCellXfs = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"numFmt")
            codes[r.attributes().value("numFmtId").toInt()] = r.attributes().value("formatCode").toString();
        else if (r.isStartElement() && r.name() == u"cellXfs")
            inCellXfs = true;
        else if (r.isEndElement() && r.name() == u"cellXfs")
            inCellXfs = false;
        else if (inCellXfs && r.isStartElement() && r.name() == u"xf")
            formats << codes.value(r.attributes().value("numFmtId").toInt());
    }
    return formats;
}

} // namespace

QMap<QString, XlsxCell> ReadXlsxCells(const QString& fileName)
{
    const QStringList strings = SharedStrings(ReadZipEntry(fileName, "xl/sharedStrings.xml"));
    const QStringList formats = StyleFormats(ReadZipEntry(fileName, "xl/styles.xml"));
    QMap<QString, XlsxCell> cells;
    QXmlStreamReader r(ReadZipEntry(fileName, "xl/worksheets/sheet1.xml"));
    QString ref;
    XlsxCell cell;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"c") {
            ref = r.attributes().value("r").toString();
            cell = XlsxCell();
            cell.type = r.attributes().hasAttribute("t") ? r.attributes().value("t").toString() : "n";
            cell.format = formats.value(r.attributes().value("s").toInt());
        } else if (r.isStartElement() && (r.name() == u"v" || r.name() == u"t")) {
            cell.value = r.readElementText();
            if (cell.type == "s")
                cell.value = strings.value(cell.value.toInt());
        } else if (r.isEndElement() && r.name() == u"c") {
            cells.insert(ref, cell);
        }
    }
    return cells;
}
