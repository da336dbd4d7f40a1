#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include <archive.h>
#include <archive_entry.h>

// Writes a zip for tests that need a hand-made workbook.  An entry's data
// comes from a generator called until it returns an empty block, so a large
// entry never sits in memory.
struct ZipEntry
{
    QString name;
    std::function<QByteArray(int block)> data;
    qint64 size = -1; // known size, or -1
};

inline ZipEntry TextEntry(const QString& name, const QByteArray& text)
{
    return {name, [text](int block) { return block == 0 ? text : QByteArray(); }, text.size()};
}

inline bool WriteZip(const QString& fileName, const std::vector<ZipEntry>& entries)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    bool ok = archive_write_open_filename(a, QFile::encodeName(fileName).constData()) == ARCHIVE_OK;
    for (const ZipEntry& e : entries) {
        if (!ok)
            break;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        if (e.size >= 0)
            archive_entry_set_size(entry, e.size);
        ok = archive_write_header(a, entry) == ARCHIVE_OK;
        for (int block = 0; ok; ++block) {
            const QByteArray data = e.data(block);
            if (data.isEmpty())
                break;
            ok = archive_write_data(a, data.constData(), data.size()) == data.size();
        }
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

// The parts of a one-sheet workbook around `sheetXml`, the sheet entry last.
inline std::vector<ZipEntry> WorkbookEntries(ZipEntry sheet)
{
    std::vector<ZipEntry> entries{
        TextEntry("[Content_Types].xml",
                  "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                  "content-types\"/>"),
        TextEntry(
            "_rels/.rels",
            "<?xml version=\"1.0\"?><Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"xl/workbook.xml\"/></Relationships>"),
        TextEntry(
            "xl/workbook.xml",
            "<?xml version=\"1.0\"?><workbook "
            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet "
            "name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"),
        TextEntry("xl/_rels/workbook.xml.rels",
                  "<?xml version=\"1.0\"?><Relationships "
                  "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                  "Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/></Relationships>"),
    };
    sheet.name = "xl/worksheets/sheet1.xml";
    entries.push_back(std::move(sheet));
    return entries;
}
