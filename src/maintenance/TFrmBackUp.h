#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmBackUp;
}
class WaitPas;

// "备份数据": lists the backups in BackUp/ (archives, then plain copies),
// makes a new one, restores the database from the selected one and deletes
// backups.  The file work runs on a WaitPas worker while the wait window is
// shown.  On a PostgreSQL server the backups are pg_dump archives (PgBackup);
// without the client programs the dialog names the package to install.
class TFrmBackUp : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmBackUp(QWidget* parent = nullptr);
    ~TFrmBackUp() override;

    void UpdateList();
    // Reads [BackUpSet] BackUp and Set, as the dialog does on every show.
    void ReadSettings();
    // The result box; a failure names `reason` on its second line.
    void ShowProcessMessages(bool success, const QString& reason = QString());
    static QString FailureText(const QString& reason);
    // False, after telling the user, while another program holds the
    // database (restore and compaction need it to themselves).
    static bool DatabaseFree(QWidget* parent);
    int CompressBackup() const { return m_compressBackup; }
    int CompressLevel() const { return m_compressLevel; }

public slots:
    void btnBackupClick();
    void btnReduceClick();
    void btnDeleteClick();
    void btnReloadClick();
    // Copies the selected backup to a folder the user picks (a USB stick, a share).
    void btnSaveToClick();
    // Restores from a backup file anywhere, with the same checks.
    void btnRestoreFromClick();
    void Lv1ColumnClick(int column);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool RunWorker(WaitPas* worker, const QString& status);
    QString SelectedFileName() const;
    void LogBackup(bool ok);
    void RestoreFrom(const QString& path);

    std::unique_ptr<Ui::TFrmBackUp> ui;
    int m_compressBackup = 1;
    int m_compressLevel = 3;
    int m_sortColumn = -1;
    QString m_lastError;
    QString m_lastMade;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
