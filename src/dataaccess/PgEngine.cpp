#include "PgEngine.h"

#include "SqlConnection.h"

#include <libpq-fe.h>
#include <poll.h>

namespace {

// Type identifiers of the built-in types (pg_type.oid), fixed by PostgreSQL.
enum : Oid {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    TextOid = 25,
    Float4Oid = 700,
    Float8Oid = 701,
    VarcharOid = 1043,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestampTzOid = 1184,
    NumericOid = 1700,
};

QString ResultError(PGresult* result, pg_conn* conn)
{
    const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(conn);
    return QString::fromUtf8(message).trimmed();
}

} // namespace

std::unique_ptr<PgEngine> PgEngine::Open(const PgServer& server, QString* error)
{
    const QByteArray host = server.host.toUtf8();
    const QByteArray port = server.port > 0 ? QByteArray::number(server.port) : QByteArray();
    const QByteArray name = server.name.toUtf8();
    const QByteArray user = server.user.toUtf8();
    const QByteArray timeout = QByteArray::number(qMax(1, server.connectTimeout));
    QVector<const char*> keys, values;
    auto add = [&](const char* key, const QByteArray& value) {
        if (value.isEmpty())
            return;
        keys << key;
        values << value.constData();
    };
    add("host", host);
    add("port", port);
    add("dbname", name);
    add("user", user);
    add("connect_timeout", timeout);
    // Dates come back as "yyyy-MM-dd HH:mm:ss", the form the program stores
    // and parses everywhere; texts as UTF-8.
    static const QByteArray options("-c DateStyle=ISO,YMD -c client_min_messages=warning");
    static const QByteArray encoding("UTF8");
    static const QByteArray application("weibao");
    add("options", options);
    add("client_encoding", encoding);
    add("application_name", application);
    keys << nullptr;
    values << nullptr;
    pg_conn* conn = PQconnectdbParams(keys.constData(), values.constData(), 0);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        *error = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QStringLiteral("内存不足");
        PQfinish(conn);
        return nullptr;
    }
    // The server's notices ("extension already exists, skipping", warnings
    // about tables of others) would otherwise be printed on the terminal;
    // what the program must know comes back as an error.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return std::unique_ptr<PgEngine>(new PgEngine(conn));
}

PgEngine::~PgEngine()
{
    PQfinish(m_conn);
}

QString PgEngine::TranslateMarks(const QString& sql, int* count)
{
    QString out;
    out.reserve(sql.size() + 8);
    int n = 0;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const int end = sql.indexOf('\n', i);
            out += sql.mid(i, end < 0 ? -1 : end - i);
            i = end < 0 ? int(sql.size()) : end - 1;
        } else if (c == '?') {
            out += '$' + QString::number(++n);
        } else {
            out += c;
        }
    }
    *count = n;
    return out;
}

bool PgEngine::IsRetryable(const QByteArray& sql)
{
    const QByteArray text = sql.trimmed().toLower();
    return text.startsWith("select") || text == "begin";
}

void PgEngine::NoteTransactionState()
{
    const PGTransactionStatusType state = PQtransactionStatus(m_conn);
    m_inTransaction =
        PQstatus(m_conn) == CONNECTION_OK && (state == PQTRANS_INTRANS || state == PQTRANS_INERROR);
}

void PgEngine::LoseTransaction(QString* error)
{
    m_lost = true;
    m_inTransaction = false;
    *error = SqlConnection::TransactionLostMessage();
}

bool PgEngine::Reset(QString* error)
{
    // The same parameters as the first connection; the session's settings
    // travel with them.  Statements are sent unnamed, so nothing has to be
    // prepared again.
    PQreset(m_conn);
    m_inTransaction = false;
    if (PQstatus(m_conn) != CONNECTION_OK) {
        *error = QStringLiteral("与数据库服务器的连接已断开，重新连接失败：") +
                 QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        return false;
    }
    if (m_onReset)
        m_onReset();
    return true;
}

bool PgEngine::CheckLink(QString* error)
{
    // A server that ended the session meanwhile (a restart, an
    // administrator) has said so and closed the socket: reading what waits
    // there shows it before a statement is sent into the void.
    if (PQstatus(m_conn) == CONNECTION_OK) {
        pollfd waiting{PQsocket(m_conn), POLLIN, 0};
        for (int i = 0; i < 4 && PQstatus(m_conn) == CONNECTION_OK && poll(&waiting, 1, 0) > 0; ++i)
            if (!PQconsumeInput(m_conn))
                break;
    }
    if (PQstatus(m_conn) == CONNECTION_OK)
        return true;
    if (m_inTransaction) {
        LoseTransaction(error);
        return false;
    }
    return Reset(error);
}

PGresult* PgEngine::Run(const std::function<PGresult*()>& send, bool retryable, QString* error, bool* broke)
{
    if (broke)
        *broke = false;
    if (m_lost) {
        *error = SqlConnection::TransactionLostMessage();
        return nullptr;
    }
    if (!CheckLink(error))
        return nullptr;
    const bool inTransaction = m_inTransaction;
    PGresult* result = send();
    if (PQstatus(m_conn) == CONNECTION_OK) {
        NoteTransactionState();
        if (!result)
            *error = ResultError(nullptr, m_conn);
        return result;
    }
    // The connection broke while the statement ran.
    if (broke)
        *broke = true;
    const QString reason = ResultError(result, m_conn);
    PQclear(result);
    if (inTransaction) {
        LoseTransaction(error);
        return nullptr;
    }
    if (!Reset(error))
        return nullptr;
    if (!retryable) {
        // The server may have done it before the answer was lost.
        *error = QStringLiteral("与数据库服务器的连接在执行时断开（%1），已重新连接；这一操作可能没有完成，"
                                "请检查后再做一次。")
                     .arg(reason);
        return nullptr;
    }
    result = send();
    NoteTransactionState();
    if (!result)
        *error = ResultError(nullptr, m_conn);
    return result;
}

bool PgEngine::ExecRaw(const QString& sql, QString* error, int* code)
{
    *code = 1;
    const QByteArray text = sql.toUtf8();
    if (m_lost) {
        // Only the end of the transaction the broken connection took along
        // gets through: a ROLLBACK has nothing left to undo, a COMMIT fails.
        const QByteArray word = text.trimmed().toUpper();
        if (word == "ROLLBACK" || word == "COMMIT")
            m_lost = false;
        if (word == "ROLLBACK")
            return true;
        *error = SqlConnection::TransactionLostMessage();
        return false;
    }
    const bool commit = text.trimmed().compare("COMMIT", Qt::CaseInsensitive) == 0;
    bool broke = false;
    PGresult* result =
        Run([&] { return PQexec(m_conn, text.constData()); }, IsRetryable(text), error, &broke);
    if (!result && commit && broke && m_lost) {
        // The COMMIT itself may have reached the server before the answer
        // was lost; the transaction has ended either way.
        m_lost = false;
        *error =
            QStringLiteral("提交时与数据库服务器的连接已断开，无法确定修改是否已经保存，请检查后再做一次。");
        return false;
    }
    if (!result)
        return false;
    const ExecStatusType status = PQresultStatus(result);
    bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        *error = ResultError(result, m_conn);
        *code = 1;
    } else if (qstrcmp(PQcmdStatus(result), "ROLLBACK") == 0 &&
               sql.trimmed().compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0) {
        // A failed statement aborted the transaction: the server answers its
        // COMMIT with a rollback and no error, but nothing was written.
        ok = false;
        *error = QStringLiteral("事务中有语句执行失败，所做的修改已全部撤销");
        *code = 1;
    } else {
        m_changes = atoi(PQcmdTuples(result));
    }
    PQclear(result);
    return ok;
}

std::unique_ptr<SqlCursor> PgEngine::Prepare(const QString& sql, QString* error)
{
    // Nothing is sent yet: a broken connection is seen to when it runs.
    int count = 0;
    const QString text = TranslateMarks(sql, &count);
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("空语句");
        return nullptr;
    }
    return std::make_unique<PgCursor>(this, text.toUtf8(), count);
}

bool PgEngine::InTransaction() const
{
    // A broken connection answers "unknown": it is in no transaction.
    const PGTransactionStatusType state = PQtransactionStatus(m_conn);
    return PQstatus(m_conn) == CONNECTION_OK && (state == PQTRANS_INTRANS || state == PQTRANS_INERROR);
}

// --- statement -------------------------------------------------------------------

PgCursor::PgCursor(PgEngine* engine, QByteArray sql, int parameters)
    : m_engine(engine), m_sql(std::move(sql)), m_parameters(parameters), m_values(parameters),
      m_null(parameters, true), m_binary(parameters, false), m_retryable(PgEngine::IsRetryable(m_sql))
{
}

PgCursor::~PgCursor()
{
    Clear();
}

void PgCursor::Clear()
{
    PQclear(m_result);
    m_result = nullptr;
    m_row = -1;
    m_rows = 0;
}

bool PgCursor::Bind(const SqlArgs& args, QString*)
{
    Clear();
    for (int i = 0; i < args.size() && i < m_parameters; ++i) {
        const QVariant& v = args[i].value;
        m_binary[i] = v.typeId() == QMetaType::QByteArray;
        m_null[i] = v.isNull() && v.typeId() != QMetaType::QString;
        if (m_null[i])
            m_values[i].clear();
        else if (m_binary[i])
            m_values[i] = v.toByteArray();
        else
            m_values[i] = SqlValueText(v).toUtf8();
    }
    return true;
}

bool PgCursor::Execute(QString* error)
{
    QVector<const char*> values(m_parameters);
    QVector<int> lengths(m_parameters), formats(m_parameters);
    QVector<Oid> types(m_parameters, 0);
    for (int i = 0; i < m_parameters; ++i) {
        values[i] = m_null[i] ? nullptr : m_values[i].constData();
        lengths[i] = int(m_values[i].size());
        formats[i] = m_binary[i] ? 1 : 0;
        // Untyped parameters take the type the statement gives them (the
        // column compared with or written to); only bytes are declared.
        types[i] = m_binary[i] ? ByteaOid : 0;
    }
    m_result = m_engine->Run(
        [&] {
            return PQexecParams(m_engine->Handle(), m_sql.constData(), m_parameters, types.constData(),
                                values.constData(), lengths.constData(), formats.constData(), 0);
        },
        m_retryable, error);
    if (!m_result)
        return false;
    const ExecStatusType status = PQresultStatus(m_result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        *error = ResultError(m_result, m_engine->Handle());
        Clear();
        return false;
    }
    m_engine->SetChanges(atoi(PQcmdTuples(m_result)));
    m_rows = PQntuples(m_result);
    return true;
}

SqlCursor::StepResult PgCursor::Step(QString* error)
{
    if (!m_result && !Execute(error))
        return Error;
    if (++m_row < m_rows)
        return Row;
    m_row = m_rows;
    return Done;
}

bool PgCursor::Reset()
{
    Clear();
    m_null.fill(true);
    return true;
}

int PgCursor::ColumnCount() const
{
    // The columns are known once the statement ran (at the first Step).
    return m_result ? PQnfields(m_result) : 0;
}

QString PgCursor::ColumnName(int i) const
{
    return m_result ? QString::fromUtf8(PQfname(m_result, i)) : QString();
}

QString PgCursor::ColumnDeclType(int i) const
{
    if (!m_result)
        return {};
    switch (PQftype(m_result, i)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case BoolOid:
        return QStringLiteral("INTEGER");
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return QStringLiteral("REAL");
    case DateOid:
    case TimestampOid:
    case TimestampTzOid:
        return QStringLiteral("DATETIME");
    case ByteaOid:
        return QStringLiteral("BLOB");
    case VarcharOid: {
        const int modifier = PQfmod(m_result, i);
        return modifier > 4 ? QStringLiteral("TEXT(%1)").arg(modifier - 4) : QStringLiteral("TEXT");
    }
    default:
        return QStringLiteral("TEXT");
    }
}

bool PgCursor::ColumnIsNull(int i) const
{
    return PQgetisnull(m_result, m_row, i) != 0;
}

bool PgCursor::ColumnIsText(int i) const
{
    switch (PQftype(m_result, i)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case BoolOid:
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
    case ByteaOid:
        return false;
    default:
        return true;
    }
}

const char* PgCursor::ColumnText(int i, int* length) const
{
    *length = PQgetlength(m_result, m_row, i);
    return PQgetvalue(m_result, m_row, i);
}

qint64 PgCursor::ColumnInt64(int i) const
{
    return QByteArray::fromRawData(PQgetvalue(m_result, m_row, i), PQgetlength(m_result, m_row, i))
        .toLongLong();
}

QVariant PgCursor::ColumnValue(int i) const
{
    if (!m_result || m_row < 0 || m_row >= m_rows || PQgetisnull(m_result, m_row, i))
        return QVariant();
    const char* text = PQgetvalue(m_result, m_row, i);
    const int length = PQgetlength(m_result, m_row, i);
    switch (PQftype(m_result, i)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return QByteArray::fromRawData(text, length).toLongLong();
    case BoolOid:
        return qint64(text[0] == 't' ? 1 : 0);
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return QByteArray::fromRawData(text, length).toDouble();
    case ByteaOid: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return data;
    }
    default:
        return QString::fromUtf8(text, length);
    }
}
