#pragma once

#include <QDate>
#include <QString>

// The text of the QR code on a warranty card: the record's number, the
// customer's name, the purchase and warranty dates and the shop's name, one
// per line with their captions, so a phone camera shows it as it stands.
// Empty for a record without a number (not yet saved): such a card has no code.
QString WarrantyCardCodeText(qint64 recordId, const QString& customer, const QDate& buyDate,
                             const QDate& warrantyEnd, const QString& shop);

// The record a scanned card names (its code's first line "保修档案编号：N"),
// or 0 when `text` is not such a line.  A barcode scanner types each line of
// the code followed by Enter.
qint64 WarrantyCardRecordId(const QString& text);
// A later line of a card's code (客户：, 购机日期：, 过保日期：, 商家：),
// which a scanner types after the first line's Enter.
bool IsWarrantyCardLine(const QString& text);
