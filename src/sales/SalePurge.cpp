#include "SalePurge.h"

#include "AppDir.h"
#include "DataAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SalePurge {

QString BackupFolder()
{
    return GetAppDir() + QStringLiteral("BackUp");
}

int RemovePartialCopies()
{
    // The copy is written under a hidden temporary name and renamed when
    // complete; a copy whose program died keeps that name.
    QDir folder(BackupFolder());
    int removed = 0;
    const QStringList partial =
        folder.entryList({QStringLiteral(".purged-*.xlsx.*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : partial)
        if (QFile::remove(folder.filePath(name)))
            ++removed;
    return removed;
}

bool PurgeExpiredOrdinary(const QDateTime& now, Result* result, QString* error,
                          const SaleExport::Progress& progress)
{
    *result = {};
    SaleRecord::Condition condition;
    // A machine's repair history needs its sale record: such records stay.
    const QString expired = QStringLiteral("OverRun<=? and TB<>?");
    const QString repaired =
        QStringLiteral("exists (select 1 from RepairInfo where RepairInfo.SaleID=SaleInfo.id)");
    condition.where = expired + " and not " + repaired;
    condition.args = {SqlArg(now), SqlArg("1")};

    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive()) {
        *error = CurrentConnection()->ErrorString();
        return false;
    }
    SqlStatement count(CurrentConnection(), "select count(*) from SaleInfo where " + condition.where);
    if (!count.Bind(condition.args) || !count.Step()) {
        *error = count.ErrorString();
        return false;
    }
    const qint64 expected = count.ColumnValue(0).toLongLong();
    SqlStatement kept(CurrentConnection(),
                      "select count(*) from SaleInfo where " + expired + " and " + repaired);
    if (!kept.Bind(condition.args) || !kept.Step()) {
        *error = kept.ErrorString();
        return false;
    }
    result->kept = kept.ColumnValue(0).toLongLong();
    if (expected == 0)
        return true;

    const QString folder = BackupFolder();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        *error = QStringLiteral("无法创建备份文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    // Seconds in the name keep two purges of one day apart; a clash (two
    // within a second) gets a counter.
    QString file = folder + "/purged-" + now.toString("yyyyMMdd-HHmmss") + ".xlsx";
    for (int n = 2; QFileInfo::exists(file); ++n)
        file = folder + "/purged-" + now.toString("yyyyMMdd-HHmmss") + QString("-%1.xlsx").arg(n);

    qint64 copied = 0;
    QString failure;
    const SaleExport::Outcome copy =
        SaleExport::Write(condition, file, SaleExport::Format::Xlsx, progress, &copied, &failure);
    if (copy != SaleExport::Outcome::Done) {
        result->cancelled = copy == SaleExport::Outcome::Cancelled;
        *error = failure;
        return false;
    }
    // The deletion sees exactly the rows just copied: the same condition in
    // the same transaction.
    bool deleted = ExecCommand("delete from SaleInfo where " + condition.where, condition.args, &failure);
    if (deleted && CurrentConnection()->Changes() != copied) {
        deleted = false;
        failure = QStringLiteral("删除的记录与备份的记录不一致，已撤销删除。");
    }
    if (deleted && !transaction.Commit()) {
        deleted = false;
        failure = CurrentConnection()->ErrorString();
    }
    if (!deleted) {
        transaction.Rollback();
        QFile::remove(file);
        *error = failure;
        return false;
    }
    result->deleted = copied;
    result->copyFile = file;
    return true;
}

} // namespace SalePurge
