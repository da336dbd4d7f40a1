#include "SheetReader.h"

#include "CsvReader.h"
#include "XlsReader.h"
#include "XlsxReader.h"

#include <QFile>
#include <QFileInfo>

namespace {
SheetReader::Factory g_xlsxFactory = nullptr;
}

void SheetReader::SetXlsxFactory(Factory factory)
{
    g_xlsxFactory = factory;
}

QString SheetReader::NotASheetMessage()
{
    return QStringLiteral("文件不是可以读取的表格文件（支持Excel工作簿 .xlsx、.xls 和CSV文件）。");
}

std::unique_ptr<SheetReader> SheetReader::OpenFile(const QString& fileName, QString* error)
{
    const QFileInfo info(fileName);
    QFile file(fileName);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件：") + (info.exists() ? file.errorString() : fileName);
        return nullptr;
    }
    if (info.size() == 0) {
        *error = QStringLiteral("文件是空的。");
        return nullptr;
    }
    if (info.size() > MaxFileSize) {
        *error = QStringLiteral("文件太大（%1 MB），最多只能导入 %2 MB 的文件。")
                     .arg(info.size() / (1024.0 * 1024.0), 0, 'f', 1)
                     .arg(MaxFileSize / (1024 * 1024));
        return nullptr;
    }
    const QByteArray head = file.read(64 * 1024);
    file.close();

    std::unique_ptr<SheetReader> reader;
    if (head.startsWith("PK\x03\x04")) {
        reader = g_xlsxFactory ? g_xlsxFactory() : std::make_unique<XlsxReader>();
    } else if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        reader = std::make_unique<XlsReader>();
    } else if (head.contains('\0')) {
        // Text files hold no zero bytes (UTF-16 text is no CSV we read either).
        *error = NotASheetMessage();
        return nullptr;
    } else {
        reader = std::make_unique<CsvReader>();
    }
    if (!reader->Open(fileName)) {
        *error = reader->ErrorString();
        return nullptr;
    }
    return reader;
}
