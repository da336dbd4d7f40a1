#pragma once

#include "SheetReader.h"

// Reads the first worksheet of an old binary workbook (.xls) through
// libfreexl.  Texts come as UTF-8 whatever code page the file uses; dates
// are real dates.
class XlsReader : public SheetReader
{
public:
    XlsReader() = default;
    ~XlsReader() override;
    XlsReader(const XlsReader&) = delete;
    XlsReader& operator=(const XlsReader&) = delete;

    bool Open(const QString& fileName) override;
    bool ReadRow(QVector<QVariant>* cells) override;
    int RowNumber() const override { return int(m_row); }

private:
    const void* m_handle = nullptr;
    unsigned int m_rows = 0;
    unsigned short m_columns = 0;
    unsigned int m_row = 0; // rows read so far
};
