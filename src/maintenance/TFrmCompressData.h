#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmCompressData;
}

// "压缩数据库": rewrites the database file compactly (VACUUM INTO a copy
// beside it, checked, then renamed into place while the connection is
// closed).  The work runs on a worker while the wait window is shown; on any
// failure the original file stays and is connected again.  On a PostgreSQL
// server the tables are rewritten with VACUUM (FULL, ANALYZE) instead.
class TFrmCompressData : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmCompressData(QWidget* parent = nullptr);
    ~TFrmCompressData() override;

public slots:
    void btnCompressClick();
    // Opens the connection again when it is closed.
    void Opendata();

private:
    void CompactOnServer();
    // Compacts `database` (the file; empty on the server) behind the wait
    // window and tells the user on success; false with nothing said.
    bool RunCompaction(const QString& database);
    std::unique_ptr<Ui::TFrmCompressData> ui;
    QString m_lastError;  // why the last compaction failed
};
