#include "SaleImportRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

// What the worker and the thread of the run share, under its mutex.
struct SaleImportRun::Channel
{
    QMutex mutex;
    QWaitCondition space; // a batch was taken, or the run cancelled
    QVector<QVector<SaleImport::CheckedRow>> batches;
    bool cancelled = false;
    bool drainPosted = false;
    // The header, once read.
    bool opened = false;
    QStringList matched, unmatched;
    // The end of the file (or a refusal).
    bool finished = false;
    bool failed = false;
    QString error;
    QStringList notes;
    double fraction = -1;
};

SaleImportRun::SaleImportRun(QObject* parent) : QObject(parent) {}

SaleImportRun::~SaleImportRun()
{
    StopWorker();
}

void SaleImportRun::StopWorker()
{
    if (m_channel) {
        QMutexLocker lock(&m_channel->mutex);
        m_channel->cancelled = true;
        m_channel->space.wakeAll();
    }
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

void SaleImportRun::Start(const QString& fileName)
{
    StopWorker();
    m_fileName = fileName;
    m_preview = SaleImport::Preview();
    m_preview.fileName = fileName;
    m_builder.reset();
    m_result = SaleImport::Outcome::Cancelled;
    m_error.clear();
    m_fraction = 0;
    m_running = true;
    SaleImport::RemoveLeftoverStages(QDir::tempPath());

    auto channel = std::make_shared<Channel>();
    m_channel = channel;
    // Posted at most once until it runs; dropped with this object.
    const auto post = [this, channel]() {
        if (channel->drainPosted)
            return;
        channel->drainPosted = true;
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
    };
    m_thread = QThread::create([fileName, channel, post]() {
        SaleImport::Source source;
        QString error;
        const bool opened = source.Open(fileName, &error);
        {
            QMutexLocker lock(&channel->mutex);
            if (!opened) {
                channel->finished = channel->failed = true;
                channel->error = error;
                post();
                return;
            }
            channel->opened = true;
            channel->matched = source.Matched();
            channel->unmatched = source.Unmatched();
            post();
        }
        // Handed over by count or after a moment, so that a slow file still
        // shows its progress; false when the run was cancelled.
        QVector<SaleImport::CheckedRow> batch;
        QElapsedTimer since;
        since.start();
        const auto hand = [&]() {
            QMutexLocker lock(&channel->mutex);
            while (channel->batches.size() >= MaxQueuedBatches && !channel->cancelled)
                channel->space.wait(&channel->mutex);
            if (channel->cancelled)
                return false;
            if (!batch.isEmpty())
                channel->batches.append(std::move(batch));
            batch = {};
            channel->fraction = source.Fraction();
            post();
            since.restart();
            return true;
        };
        SaleImport::CheckedRow row;
        while (source.Next(&row)) {
            batch.append(std::move(row));
            if ((batch.size() >= BatchRows || since.elapsed() >= 50) && !hand())
                return;
        }
        if (!hand())
            return;
        QMutexLocker lock(&channel->mutex);
        channel->finished = true;
        channel->failed = source.HasError();
        channel->error = source.ErrorString();
        channel->notes = source.Notes();
        channel->fraction = 1;
        post();
    });
    m_thread->start();
}

void SaleImportRun::Drain()
{
    if (!m_running || !m_channel)
        return;
    QVector<QVector<SaleImport::CheckedRow>> batches;
    bool opened, finished, failed;
    QString error;
    QStringList matched, unmatched, notes;
    {
        QMutexLocker lock(&m_channel->mutex);
        m_channel->drainPosted = false;
        batches.swap(m_channel->batches);
        m_channel->space.wakeAll();
        opened = m_channel->opened;
        matched = m_channel->matched;
        unmatched = m_channel->unmatched;
        finished = m_channel->finished;
        failed = m_channel->failed;
        error = m_channel->error;
        notes = m_channel->notes;
        m_fraction = m_channel->fraction;
    }
    if (opened && !m_builder) {
        m_builder = std::make_unique<SaleImport::Builder>(&m_preview);
        QString reason;
        if (!m_builder->Begin(m_fileName, matched, unmatched, &reason))
            return End(SaleImport::Outcome::Failed, reason);
    }
    for (const QVector<SaleImport::CheckedRow>& batch : batches)
        for (const SaleImport::CheckedRow& row : batch) {
            QString reason;
            if (!m_builder->Take(row, &reason))
                return End(SaleImport::Outcome::Failed, reason);
        }
    // The worker marks the end after handing over its last batch, under
    // the same lock: every row has been taken now.
    if (finished) {
        if (failed)
            return End(SaleImport::Outcome::Failed, error);
        QString reason;
        if (!m_builder->Finish(notes, &reason))
            return End(SaleImport::Outcome::Failed, reason);
        return End(SaleImport::Outcome::Done);
    }
    emit Progressed();
}

void SaleImportRun::Cancel()
{
    if (m_running)
        End(SaleImport::Outcome::Cancelled);
}

void SaleImportRun::End(SaleImport::Outcome outcome, const QString& error)
{
    StopWorker();
    m_channel.reset();
    m_running = false;
    m_result = outcome;
    m_error = error;
    m_builder.reset();
    // Whatever was staged goes with its folder unless the preview is complete.
    if (outcome != SaleImport::Outcome::Done)
        m_preview.stage.reset();
    else
        m_fraction = 1;
    emit Finished();
}
