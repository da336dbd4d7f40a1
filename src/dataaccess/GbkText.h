#pragma once

#include <QByteArray>
#include <QString>

// Text in the GBK code page, handled with the GB18030 codec (a superset of
// GBK, so no character is ever lost).  Sizes of text fields and entry boxes
// count bytes in this encoding: a Chinese character takes two.
namespace Gbk {

QByteArray Encode(const QString& text);
QString Decode(const QByteArray& bytes);
// The same, counting in *invalidBytes the bytes that are no GB18030 text
// (they are left out).
QString Decode(const QByteArray& bytes, int* invalidBytes);

// Number of bytes `text` takes.
int ByteLength(const QString& text);

// The longest prefix of `text` that fits in `maxBytes` bytes, never splitting
// a character (nor a surrogate pair).
QString Truncate(const QString& text, int maxBytes);

} // namespace Gbk
