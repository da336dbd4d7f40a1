#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The columns of a sale-record file, exported and imported: the 29 columns
// of the record manager's list, with the SaleInfo field behind each, the
// size the field holds (GBK bytes, 0 = unlimited) and the other captions an
// imported sheet may use for it.
namespace SaleFileColumns {

enum Kind {
    Key,         // the record's id: written, never read back
    Required,    // text that must not be blank, stored as given
    Optional,    // text stored as "无" when blank
    BuyDate,     // a date that must be there
    WarrantyEnd, // a date; the purchase date + 365 days when missing
    Class,       // "是"/"否"
    Amount       // digits; "0" or blank count as 1
};

struct Column
{
    const char* field;
    Kind kind;
    int maxBytes;
    // Further captions accepted on import (the list's own caption always is).
    QStringList aliases;
};

// The 29 columns in list order; column i has the caption
// SaleListModel::Caption(i).
const QVector<Column>& All();
QString Caption(int column);
// The SaleInfo fields in list order, "id,Name,...": a select list.
QString SelectList();
// The column a header text names (blanks, case and full-width brackets do
// not matter), or -1.
int Find(const QString& header);

} // namespace SaleFileColumns
