#include "QuickFind.h"

#include "CommandLog.h"
#include "SqlDialect.h"
#include "Utilities.h"

namespace QuickFind {

namespace {

// An FTS5 string: between double quotes, every double quote doubled, so
// nothing in it is read as query syntax.
QString Phrase(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString Fragment(const QString& typed)
{
    QString fragment;
    fragment.reserve(typed.size());
    for (const QChar c : typed)
        if (c.category() != QChar::Other_Control)
            fragment.append(c);
    fragment = fragment.trimmed();
    return CharacterCount(fragment) >= MinimumLength ? fragment : QString();
}

bool FindCondition(const QString& fragment, SaleRecord::Condition* out, QString* error)
{
    *out = {};
    // The server's trigram index reads a "contains" pattern of three and
    // more characters itself; two characters are read through the index of
    // the text's pairs.  The pattern alone is the cheaper test of one row,
    // for a list that walks the ids to its first page of many matches.
    const QString condition = SqlDialect::SaleFindCondition(CurrentConnection());
    if (!condition.isEmpty()) {
        const SqlArg pattern(SqlDialect::ContainsPattern(fragment));
        out->where = condition;
        out->args = {pattern};
        const int length = CharacterCount(fragment);
        if (length == MinimumLength) {
            out->indexWhere = SqlDialect::SaleFindPairCondition(CurrentConnection());
            out->indexArgs = {SqlArg(fragment), SqlArg(fragment), pattern};
        } else if (length > MinimumLength) {
            out->indexWhere = condition;
            out->indexArgs = out->args;
        }
        return true;
    }
    const QString inIndex = SqlDialect::SaleFindKeySource(CurrentConnection());
    if (CharacterCount(fragment) > MinimumLength) {
        out->keySource = inIndex;
        out->args = {SqlArg(Phrase(fragment))};
        return true;
    }
    // The index folds letters to lower case; its terms are compared as
    // UTF-8 bytes, and U+10FFFF is above every character that can follow.
    const QString low = fragment.toLower();
    const QString sql = QStringLiteral("select term from SaleFindTerms where term>=? and term<?");
    const SqlArgs args = {SqlArg(low), SqlArg(low + QString::fromUcs4(U"\U0010FFFF"))};
    SqlStatement statement(CurrentConnection(), sql);
    QStringList terms;
    if (statement.IsValid() && statement.Bind(args))
        while (statement.Step())
            terms.append(Phrase(statement.ColumnValue(0).toString()));
    if (statement.Failed() || !statement.IsValid()) {
        *error = statement.ErrorString();
        WriteLogLine(QStringLiteral("失败执行：") + RenderStatement(sql, args));
        WriteLogLine(QStringLiteral("失败原因:") + *error);
        return false;
    }
    WriteLogLine(QStringLiteral("成功执行：") + RenderStatement(sql, args));
    if (terms.isEmpty()) {
        out->where = QStringLiteral("0");
        return true;
    }
    out->keySource = inIndex;
    out->args = {SqlArg(terms.join(QLatin1String(" OR ")))};
    return true;
}

SaleRecord::Condition PhoneCondition(const QString& digits)
{
    SaleRecord::Condition out;
    const QString onServer = SqlDialect::SalePhoneCondition(CurrentConnection());
    if (onServer.isEmpty()) {
        out.keySource = SqlDialect::SalePhoneKeySource(CurrentConnection());
        out.args = {SqlArg(Phrase(digits))};
    } else {
        out.where = onServer;
        out.args = {SqlArg(SqlDialect::ContainsPattern(digits))};
    }
    return out;
}

} // namespace QuickFind
