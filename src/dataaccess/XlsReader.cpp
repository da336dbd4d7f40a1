#include "XlsReader.h"

#include <QDate>
#include <QDateTime>
#include <QFile>

#include <freexl.h>

XlsReader::~XlsReader()
{
    if (m_handle)
        freexl_close(m_handle);
}

bool XlsReader::Open(const QString& fileName)
{
    const int status = freexl_open(QFile::encodeName(fileName).constData(), &m_handle);
    if (status != FREEXL_OK)
        return Fail(QStringLiteral("文件不是有效的Excel 97-2003工作簿，或者已损坏、设有密码（错误 %1）。")
                        .arg(status));
    unsigned int sheets = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        return Fail(QStringLiteral("工作簿中没有工作表。"));
    if (freexl_select_active_worksheet(m_handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns) != FREEXL_OK)
        return Fail(QStringLiteral("无法读取工作簿的第一个工作表。"));
    return true;
}

bool XlsReader::ReadRow(QVector<QVariant>* cells)
{
    while (m_handle && m_row < m_rows) {
        const unsigned int row = m_row++;
        cells->clear();
        for (unsigned short c = 0; c < m_columns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(m_handle, row, c, &cell) != FREEXL_OK)
                return Fail(QStringLiteral("无法读取工作表第 %1 行。").arg(row + 1));
            QVariant value;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                value = double(cell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                value = cell.value.double_value;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_TIME:
                if (cell.value.text_value && *cell.value.text_value)
                    value = QString::fromUtf8(cell.value.text_value);
                break;
            case FREEXL_CELL_DATE:
                value = QDate::fromString(QString::fromLatin1(cell.value.text_value), Qt::ISODate);
                break;
            case FREEXL_CELL_DATETIME: {
                const QDateTime dt =
                    QDateTime::fromString(QString::fromLatin1(cell.value.text_value), "yyyy-MM-dd HH:mm:ss");
                value = dt.time() == QTime(0, 0) ? QVariant(dt.date()) : QVariant(dt);
                break;
            }
            default:
                break;
            }
            if (value.isNull())
                continue;
            if (cells->size() <= c)
                cells->resize(c + 1);
            (*cells)[c] = value;
        }
        if (!cells->isEmpty())
            return true;
    }
    return false;
}
