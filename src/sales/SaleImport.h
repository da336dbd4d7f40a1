#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class SaleImportStage;

// Imports sale records from a spreadsheet file (.xlsx, .xls, .csv).
// Analyse() reads the file once and says what an import would do (rows
// accepted, rows refused and why, rows that look like stored records); the
// accepted rows wait in a scratch database file of their own, so memory does
// not grow with the file.  Write() stores exactly those rows in one
// transaction, with the rules of the entry dialog.  Columns are matched by
// the captions of the first row.
class SaleImport
{
public:
    struct Refusal
    {
        int row = 0;    // as the spreadsheet numbers it
        QString column; // the caption of the column at fault, empty for the whole row
        QString reason;
    };
    struct Duplicate
    {
        int row = 0;
        QString name;
        QString phone;
        QDate buyDate;
        qint64 storedId = 0;
    };
    struct Preview
    {
        QString fileName;
        QStringList matched;   // captions of the columns read
        QStringList unmatched; // header texts of the columns ignored
        qint64 rows = 0;       // data rows in the file
        qint64 accepted = 0;   // rows that can be stored, duplicates included
        qint64 refusedRows = 0;
        qint64 duplicateRows = 0;
        // What was changed in reading that the user should know (characters
        // left out of the texts).
        QStringList notes;
        // The first MaxListed of each; the counts above count all.
        QVector<Refusal> refused;
        QVector<Duplicate> duplicates;
        // The accepted rows, until the preview is dropped.
        std::shared_ptr<SaleImportStage> stage;
    };

    enum class Outcome { Done, Cancelled, Failed };
    // Called now and then with the data rows read; false cancels.
    using Progress = std::function<bool(qint64 rowsRead)>;

    static constexpr int MaxListed = 1000;

    // One data row as read and checked: the values to insert (SaleInfo's
    // fields in list order, without the id), or why it is refused.
    struct CheckedRow
    {
        int row = 0;
        QVector<QVariant> values;
        QString name, phone;
        QDate buyDate;
        QVector<Refusal> refusals; // empty when the row can be stored
    };

    // The reading half of an analysis: the rows of a file, matched by its
    // header and checked.  Touches no database, so it may run on a thread
    // of its own.
    class Source
    {
    public:
        Source();
        ~Source();
        Source(const Source&) = delete;
        Source& operator=(const Source&) = delete;
        // Opens the file and reads its header; false with *error when the
        // file is no readable sheet or names none of the required columns.
        bool Open(const QString& fileName, QString* error);
        // The next data row; false at the end or on a fault (HasError()).
        bool Next(CheckedRow* row);
        bool HasError() const;
        QString ErrorString() const;
        // How much of the file is read, 0 to 1 (below 0: unknown).
        double Fraction() const;
        QStringList Matched() const;
        QStringList Unmatched() const;
        // What the preview should tell about the rows read (texts changed).
        QStringList Notes() const;

    private:
        struct Impl;
        std::unique_ptr<Impl> d;
    };

    // The other half, on the thread of the program's connection: takes the
    // checked rows into `preview` (counts, the first refusals and
    // duplicates) and its stage.
    class Builder
    {
    public:
        explicit Builder(Preview* preview);
        ~Builder();
        Builder(const Builder&) = delete;
        Builder& operator=(const Builder&) = delete;
        // Prepares the stage and the look-up of stored records.
        bool Begin(const QString& fileName, const QStringList& matched, const QStringList& unmatched,
                   QString* error);
        bool Take(const CheckedRow& row, QString* error);
        // Completes the stage; the preview then holds it.
        bool Finish(const QStringList& notes, QString* error);

    private:
        struct Impl;
        std::unique_ptr<Impl> d;
    };

    // Refuses (Failed, with *error) a file that is not a readable sheet or
    // whose first row names none of the required columns.
    static Outcome Analyse(const QString& fileName, Preview* preview, QString* error,
                           const Progress& progress = {});
    // Writes the accepted rows of `preview`, leaving out the duplicates when
    // `skipDuplicates`.  All or nothing.  One usage-log row names the count.
    static Outcome Write(const Preview& preview, bool skipDuplicates, qint64* written, QString* error,
                         const Progress& progress = {});

    // On SQLite, Write() leaves the quick-find index, the phone index and
    // the change log of the new records to one statement each instead of
    // their per-row triggers, with the same rows as a result (see
    // SaleImport.cpp).  Off: the triggers run for every row, as any other
    // insert; a benchmark compares the two.
    static void SetSetBasedUpkeep(bool on);

    // The accepted rows of a preview wait in a folder named StagePrefix +
    // six characters in the temporary folder.  One left behind by a program
    // that was killed is removed by the next Analyse(): a stage folder older
    // than `minAgeSeconds` whose lock no running program holds.  Returns the
    // count removed.
    static constexpr const char* StagePrefix = "weibao-import-";
    static constexpr int StageLeftoverAge = 10 * 60;
    static int RemoveLeftoverStages(const QString& folder, int minAgeSeconds = StageLeftoverAge);
};
