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

    // Refuses (Failed, with *error) a file that is not a readable sheet or
    // whose first row names none of the required columns.
    static Outcome Analyse(const QString& fileName, Preview* preview, QString* error,
                           const Progress& progress = {});
    // Writes the accepted rows of `preview`, leaving out the duplicates when
    // `skipDuplicates`.  All or nothing.  One usage-log row names the count.
    static Outcome Write(const Preview& preview, bool skipDuplicates, qint64* written, QString* error,
                         const Progress& progress = {});

    // The accepted rows of a preview wait in a folder named StagePrefix +
    // six characters in the temporary folder.  One left behind by a program
    // that was killed is removed by the next Analyse(): a stage folder older
    // than `minAgeSeconds` whose lock no running program holds.  Returns the
    // count removed.
    static constexpr const char* StagePrefix = "weibao-import-";
    static constexpr int StageLeftoverAge = 10 * 60;
    static int RemoveLeftoverStages(const QString& folder, int minAgeSeconds = StageLeftoverAge);
};
