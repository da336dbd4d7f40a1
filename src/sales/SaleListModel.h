#pragma once

#include "PagedListModel.h"
#include "SaleRecord.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSet>

// The rows of SaleInfo that one filter or search matches, in the record
// manager's 29 columns, paged by id (or by warranty end) as the view asks.
// Row colours come from the model: expired warranties sky blue with blue
// text, special customers red with yellow text, warranties ending within the
// expiring-soon days orange with black text.  A machine in the repair shop
// is marked beside its customer's name.
class SaleListModel : public PagedListModel
{
    Q_OBJECT
public:
    enum Column {
        ColId,
        ColName,
        ColPhone,
        ColFax,
        ColMobile,
        ColAddr,
        ColBuyDate,
        ColOverRun,
        ColClass,
        ColAmount,
        ColCPU,
        ColMemory,
        ColHD,
        ColDisplayCard,
        ColSound,
        ColMainBoard,
        ColBox,
        ColDisplay,
        ColPower,
        ColFloppy,
        ColCDROM,
        ColMouse,
        ColKeyBoard,
        ColSoundBox,
        ColNetWork,
        ColModem,
        ColPrint,
        ColOther,
        ColMemo,
        ColumnCount
    };

    // Marks the columns leave on a row for the colours.
    enum RowMark { MarkOverRunDay, MarkSpecial };

    explicit SaleListModel(QObject* parent = nullptr);

    // Replaces the list with the rows matching `condition` and fetches the
    // first page.  With `count` the number of matching rows is read too
    // (MatchCount).  false with the database's message on failure; the list
    // then holds what was read before the failure.
    bool Load(const SaleRecord::Condition& condition, bool count, QString* error = nullptr);
    void Clear();
    // The condition of the last load (every row when nothing was loaded).
    const SaleRecord::Condition& CurrentCondition() const { return m_condition; }

    // The machine of the row has a repair visit not yet picked up (as read
    // with the last load); its name shows a mark and a tip.
    bool HasOpenRepair(int row) const;

    static QString Caption(int column);
    // Rows whose warranty ends within this many days (and has not ended) are
    // drawn orange; 0 draws none so.
    void SetExpiringDays(int days);
    int ExpiringDays() const { return m_expiringDays; }

    // Reads again which machines are in the shop and repaints their marks.
    void RefreshOpenRepairs();

private:
    QVariant RoleOf(int row, int column, int role) const;
    void ReadOpenRepairs();
    qint64 LastExpiredDay() const;
    qint64 Today() const;

    SaleRecord::Condition m_condition;
    QSet<qint64> m_openRepairs;
    int m_expiringDays = 0;
    mutable qint64 m_lastExpiredDay = 0;
    mutable qint64 m_today = 0;
    mutable QElapsedTimer m_clockAge;
};
