#include "XlsReader.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* HelperName = "weibao-sheetread";
// No row of an old workbook comes near this: 256 columns of 32 767
// characters, three bytes each, is 25 MB.
constexpr quint32 MaxFrame = 32U * 1024 * 1024;
// Everything the helper may send for one file.
constexpr qint64 MaxReceived = 1024LL * 1024 * 1024;
constexpr quint32 MaxRows = 1048576;
constexpr quint16 MaxColumns = 16384;

// Reads numbers and texts off a frame, never past its end.
class FrameCursor
{
public:
    explicit FrameCursor(const QByteArray& data) : m_data(data) {}
    bool Has(qsizetype n) const { return m_at + n <= m_data.size(); }
    bool AtEnd() const { return m_at == m_data.size(); }
    template <typename T> bool Read(T* value)
    {
        if (!Has(sizeof(T)))
            return false;
        *value = qFromLittleEndian<T>(m_data.constData() + m_at);
        m_at += sizeof(T);
        return true;
    }
    bool ReadBytes(QByteArray* bytes)
    {
        quint32 length = 0;
        if (!Read(&length) || !Has(length))
            return false;
        *bytes = m_data.mid(m_at, length);
        m_at += length;
        return true;
    }

private:
    const QByteArray& m_data;
    qsizetype m_at = 0;
};

} // namespace

XlsReader::~XlsReader()
{
    Stop();
}

QString XlsReader::CorruptMessage()
{
    return QStringLiteral("文件已损坏或不是可以读取的 Excel 文件。");
}

QString XlsReader::HelperPath()
{
    // Beside the program (a build, or a copy of the program folder), else in
    // the library folder of an installed program (/usr/bin -> /usr/lib/weibao).
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {dir.filePath(HelperName), dir.filePath(QStringLiteral("../lib/weibao/") + HelperName)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}

void XlsReader::Stop()
{
    if (m_pipe >= 0) {
        ::close(m_pipe);
        m_pipe = -1;
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

bool XlsReader::Corrupt()
{
    Stop();
    return Fail(CorruptMessage());
}

bool XlsReader::Open(const QString& fileName)
{
    const QString helper = HelperPath();
    if (helper.isEmpty())
        return Fail(QStringLiteral("找不到读取 Excel 97-2003 工作簿的辅助程序 %1，请重新安装本程序。")
                        .arg(QLatin1String(HelperName)));
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return Fail(QStringLiteral("无法启动读取工作簿的辅助程序：") +
                    QString::fromLocal8Bit(strerror(errno)));
    const QByteArray program = QFile::encodeName(helper);
    const QByteArray file = QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
    char* const argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(file.constData()),
                          nullptr};
    char* const envp[] = {nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return Fail(QStringLiteral("无法启动读取工作簿的辅助程序：") +
                    QString::fromLocal8Bit(strerror(spawned)));
    }
    m_pid = pid;
    m_pipe = fds[0];

    char type = 0;
    QByteArray payload;
    if (!ReadFrame(&type, &payload))
        return false;
    if (type == 'O' && payload.isEmpty())
        return true;
    if (type != 'F' || payload.size() != 5)
        return Corrupt();
    const qint32 status = qFromLittleEndian<qint32>(payload.constData());
    Stop();
    switch (payload[4]) {
    case 'o':
        return Fail(QStringLiteral("文件不是有效的Excel 97-2003工作簿，或者已损坏、设有密码（错误 %1）。")
                        .arg(status));
    case 's':
        return Fail(QStringLiteral("工作簿中没有工作表。"));
    default:
        return Fail(QStringLiteral("无法读取工作簿的第一个工作表。"));
    }
}

bool XlsReader::ReadExactly(char* data, qint64 size)
{
    QDeadlineTimer silence(SilenceMs);
    while (size > 0) {
        pollfd p{m_pipe, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(qMax<qint64>(0, silence.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false; // silent for too long, or a fault of the pipe
        const ssize_t n = ::read(m_pipe, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // the helper has ended
        data += n;
        size -= n;
        silence.setRemainingTime(SilenceMs);
    }
    return true;
}

bool XlsReader::ReadFrame(char* type, QByteArray* payload)
{
    if (m_pipe < 0)
        return Corrupt();
    char head[5];
    if (!ReadExactly(head, sizeof head))
        return Corrupt();
    *type = head[0];
    const quint32 length = qFromLittleEndian<quint32>(head + 1);
    m_received += sizeof head + qint64(length);
    if (length > MaxFrame || m_received > MaxReceived)
        return Corrupt();
    payload->resize(length);
    if (!ReadExactly(payload->data(), length))
        return Corrupt();
    return true;
}

bool XlsReader::ReadRow(QVector<QVariant>* cells)
{
    if (m_ended || HasError())
        return false;
    char type = 0;
    QByteArray payload;
    if (!ReadFrame(&type, &payload))
        return false;
    if (type == 'E' && payload.isEmpty()) {
        // The end: the helper must then leave normally.
        ::close(m_pipe);
        m_pipe = -1;
        int status = 0;
        pid_t ended;
        while ((ended = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        m_ended = true;
        if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return Corrupt();
        return false;
    }
    if (type != 'R')
        return Corrupt();
    FrameCursor frame(payload);
    quint32 row = 0;
    quint16 count = 0;
    if (!frame.Read(&row) || !frame.Read(&count) || row <= m_row || row > MaxRows || count == 0)
        return Corrupt();
    cells->clear();
    int lastColumn = -1;
    for (quint16 i = 0; i < count; ++i) {
        quint16 column = 0;
        quint8 kind = 0;
        if (!frame.Read(&column) || !frame.Read(&kind) || column >= MaxColumns || int(column) <= lastColumn)
            return Corrupt();
        lastColumn = column;
        QVariant value;
        if (kind == 'n') {
            quint64 bits = 0;
            if (!frame.Read(&bits))
                return Corrupt();
            double number;
            memcpy(&number, &bits, sizeof number);
            value = number;
        } else {
            QByteArray bytes;
            if (!frame.ReadBytes(&bytes))
                return Corrupt();
            const QString text = QString::fromUtf8(bytes);
            if (kind == 't') {
                value = text;
            } else if (kind == 'd') {
                value = QDate::fromString(text, Qt::ISODate);
            } else if (kind == 'T') {
                const QDateTime dt = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
                value = dt.time() == QTime(0, 0) ? QVariant(dt.date()) : QVariant(dt);
            } else {
                return Corrupt();
            }
        }
        cells->resize(column + 1);
        (*cells)[column] = value;
    }
    if (!frame.AtEnd())
        return Corrupt();
    m_row = row;
    return true;
}
