#pragma once

#include "SheetReader.h"

#include <QByteArray>
#include <sys/types.h>

// Reads the first worksheet of an old binary workbook (.xls).  The library
// that reads the format does not survive every damaged file, so it runs in a
// helper process of its own (weibao-sheetread, beside the program or in its
// library folder), confined and limited; the cells come back through a pipe
// in frames that are checked here against bounds of their own.  A helper
// that crashes, hits a limit, sends garbage or falls silent gives
// CorruptMessage(), and the program goes on.  Texts come as UTF-8 whatever
// code page the file uses; dates are real dates.
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

    // The helper program, or empty when it is not installed.
    static QString HelperPath();
    static QString CorruptMessage();

    // Time the helper may stay silent before it is given up.
    static constexpr int SilenceMs = 30000;

private:
    // The next frame from the helper; false (with the error set) on the end
    // of the pipe, a timeout or a frame out of bounds.
    bool ReadFrame(char* type, QByteArray* payload);
    bool ReadExactly(char* data, qint64 size);
    bool Corrupt();
    void Stop();

    pid_t m_pid = -1;
    int m_pipe = -1;
    quint32 m_row = 0; // the number of the row last read
    bool m_ended = false;
    qint64 m_received = 0;
};
