#pragma once

#include <QDate>
#include <QString>

// The text of the QR code on a warranty card: the record's number, the
// customer's name, the purchase and warranty dates and the shop's name, one
// per line with their captions, so a phone camera shows it as it stands.
// Empty for a record without a number (not yet saved): such a card has no code.
QString WarrantyCardCodeText(qint64 recordId, const QString& customer, const QDate& buyDate,
                             const QDate& warrantyEnd, const QString& shop);
