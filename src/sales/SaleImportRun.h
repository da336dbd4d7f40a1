#pragma once

#include "SaleImport.h"

#include <QObject>
#include <memory>

class QThread;

// An analysis of a file (SaleImport::Analyse) with the reading on a worker
// thread: the rows are read and checked there and handed over in batches
// to the thread of this object, which looks up stored records through the
// program's connection and fills the preview and its stage as they come.
// The queue between the two holds a few batches at most, so memory stays
// flat whatever the file holds.  Nothing is written to the records.
class SaleImportRun : public QObject
{
    Q_OBJECT
public:
    explicit SaleImportRun(QObject* parent = nullptr);
    // Cancels a reading still under way and waits for the worker.
    ~SaleImportRun() override;

    // Starts reading `fileName`; Finished follows, also when the file is
    // refused at once.
    void Start(const QString& fileName);
    // Stops the reading and drops what was read; Finished follows at once.
    void Cancel();

    bool IsRunning() const { return m_running; }
    // The preview so far; complete once finished with Done.
    const SaleImport::Preview& CurrentPreview() const { return m_preview; }
    // How much of the file is read, 0 to 1 (below 0: unknown).
    double Fraction() const { return m_fraction; }
    SaleImport::Outcome Result() const { return m_result; }
    QString ErrorString() const { return m_error; }

    // Rows per batch (a batch goes over sooner when 50 ms have passed),
    // and the batches the queue holds at most while the worker waits.
    static constexpr int BatchRows = 512;
    static constexpr int MaxQueuedBatches = 4;

signals:
    // More rows were taken into the preview.
    void Progressed();
    void Finished();

private:
    struct Channel;
    void Drain();
    void End(SaleImport::Outcome outcome, const QString& error = {});
    void StopWorker();

    std::shared_ptr<Channel> m_channel;
    QThread* m_thread = nullptr;
    QString m_fileName;
    SaleImport::Preview m_preview;
    std::unique_ptr<SaleImport::Builder> m_builder;
    bool m_running = false;
    double m_fraction = -1;
    SaleImport::Outcome m_result = SaleImport::Outcome::Cancelled;
    QString m_error;
};
