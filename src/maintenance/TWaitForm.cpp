#include "TWaitForm.h"
#include "ui_TWaitForm.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QThread>

TWaitForm::TWaitForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TWaitForm>())
{
    // The resource lives in this static library: registering it keeps it linked.
    Q_INIT_RESOURCE(weibao_maintenance);
    ui->setupUi(this);
    setFixedSize(269, 58);
    ui->btnCancel->hide();
    connect(ui->btnCancel, &QPushButton::clicked, this, &TWaitForm::CancelClicked);
    // The animation's image list: the 32 × 32 frames of one strip; its first
    // frame is the resting one.
    const QPixmap strip(QStringLiteral(":/maintenance/process-working.png"));
    for (int y = 0; y + 32 <= strip.height(); y += 32)
        for (int x = 0; x + 32 <= strip.width(); x += 32)
            m_frames.append(strip.copy(x, y, 32, 32));
    if (m_frames.size() > 1)
        m_frames.removeFirst();
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &TWaitForm::NextFrame);
    NextFrame();
}

TWaitForm::~TWaitForm() = default;

void TWaitForm::SetCancel(std::function<void()> cancel)
{
    m_cancel = std::move(cancel);
    const bool offered = bool(m_cancel);
    ui->btnCancel->setVisible(offered);
    ui->btnCancel->setEnabled(offered);
    setFixedSize(269, offered ? 90 : 58);
    ui->Panel1->resize(269, offered ? 90 : 58);
}

void TWaitForm::CancelClicked()
{
    ui->btnCancel->setEnabled(false);
    SetStatus(QStringLiteral("正在取消，请稍候……"));
    if (m_cancel)
        m_cancel();
}

void TWaitForm::SetStatus(const QString& text)
{
    ui->Label1->setText(text);
}

void TWaitForm::NextFrame()
{
    if (m_frames.isEmpty())
        return;
    m_frame = (m_frame + 1) % int(m_frames.size());
    ui->Animate1->setPixmap(m_frames[m_frame]);
}

void TWaitForm::RunWhile(QThread* worker)
{
    m_done = false;
    // Queued: the window closes from its own loop, after exec() has begun,
    // however quickly the worker ends.
    const auto connection = connect(worker, &QThread::finished, this, [this] {
        m_done = true;
        done(Accepted);
    }, Qt::QueuedConnection);
    m_timer.start();
    worker->start();
    exec();
    m_timer.stop();
    disconnect(connection);
    worker->wait();
}

void TWaitForm::reject()
{
    if (m_done)
        QDialog::reject();
}

void TWaitForm::closeEvent(QCloseEvent* event)
{
    if (m_done)
        QDialog::closeEvent(event);
    else
        event->ignore();
}
