#include "PasswordHash.h"

#include <sodium.h>

namespace {

bool Ready()
{
    static const bool ok = sodium_init() >= 0;
    return ok;
}

} // namespace

namespace PasswordHash {

QString Hash(const QString& password)
{
    if (!Ready())
        return {};
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), utf8.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QString::fromLatin1(out);
}

bool IsHash(const QString& stored)
{
    return stored.trimmed().startsWith(QLatin1String("$argon2"));
}

bool Verify(const QString& stored, const QString& typed)
{
    const QString trimmed = stored.trimmed();
    if (!IsHash(trimmed))
        return trimmed == typed;
    if (!Ready())
        return false;
    const QByteArray hash = trimmed.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(), utf8.size()) == 0;
}

} // namespace PasswordHash
