#pragma once

#include "SaleRecord.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QVector>
#include <array>

// The rows of SaleInfo that one filter or search matches, in the record
// manager's 29 columns, fetched as the view asks for them: pages ordered by
// id and continued after the last id held, each page one short statement, so
// nothing stays open between events and memory follows the rows viewed.
// Row colours come from the model: expired warranties sky blue with blue
// text, special customers red with yellow text, warranties ending within the
// expiring-soon days orange with black text.
class SaleListModel : public QAbstractTableModel
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

    static constexpr int FirstPageSize = 256;
    static constexpr int PageSize = 2048;
    static constexpr int MaxPageSize = 16384;
    // A range on a date column matching at most this many rows is paged
    // through its index; a wider one walks the table in id order.
    static constexpr qint64 IndexPlanLimit = 20000;

    explicit SaleListModel(QObject* parent = nullptr);

    // Replaces the list with the rows matching `condition` and fetches the
    // first page.  With `count` the number of matching rows is read too
    // (MatchCount).  false with the database's message on failure; the list
    // then holds what was read before the failure.
    bool Load(const SaleRecord::Condition& condition, bool count, QString* error = nullptr);
    void Clear();
    // The condition of the last load (every row when nothing was loaded).
    const SaleRecord::Condition& CurrentCondition() const { return m_condition; }
    // -1 when the last load did not count.
    qint64 MatchCount() const { return m_matchCount; }

    qint64 RecordId(int row) const;
    // The record's version when the row was read (see SaleRecord::UpdateRecord).
    qint64 RowVersion(int row) const;
    // The value of a cell exactly as held (dates yyyy-MM-dd, the class as
    // "是"/"否", remarks with their line breaks).
    QString Text(int row, int column) const;
    // Drops one row from the list (the database is not touched).
    bool RemoveListRow(int row);

    static QString Caption(int column);
    // Rows whose warranty ends within this many days (and has not ended) are
    // drawn orange; 0 draws none so.
    void SetExpiringDays(int days);
    int ExpiringDays() const { return m_expiringDays; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A page could not be read; the rows held so far stay.
    void fetchFailed(const QString& error);

private:
    // Texts of columns 1..28 live in one byte block per page (UTF-8); a row
    // keeps where its texts start and end.
    struct Row
    {
        qint64 id = 0;
        qint64 rowVersion = 0;
        qint32 page = 0;
        quint32 start = 0;
        std::array<quint32, ColumnCount - 1> ends{};
        qint64 overRunDay = 0; // Julian day; 0 when the text is no date
        bool special = false;
    };

    bool FetchPage(QString* error);
    bool CountMatches(QString* error);
    qint64 LastExpiredDay() const;
    qint64 Today() const;

    SaleRecord::Condition m_condition;
    QString m_tableHint;
    bool m_indexPlan = false;
    qint64 m_lastId = 0;
    // The stored warranty end of the last row held (lists by warranty end).
    QByteArray m_lastOverRun;
    int m_expiringDays = 0;
    bool m_done = true;
    bool m_fetching = false;
    bool m_resetting = false;
    qint64 m_matchCount = -1;
    QVector<QByteArray> m_pages;
    QVector<Row> m_rows;
    mutable qint64 m_lastExpiredDay = 0;
    mutable qint64 m_today = 0;
    mutable QElapsedTimer m_clockAge;
};
