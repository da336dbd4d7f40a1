#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QTimer>
#include <functional>
#include <memory>

class QThread;

namespace Ui {
class TWaitForm;
}

// "进度条": the small borderless window shown while maintenance work runs on
// a worker thread.  Its modal loop keeps the program painted and runs what
// the worker hands to the main thread; only the end of the worker closes it.
class TWaitForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* parent = nullptr);
    ~TWaitForm() override;

    // Starts `worker` and shows the window modally until it has finished.
    void RunWhile(QThread* worker);
    // Offers 取消, which calls `cancel` once (the worker then ends early);
    // without it the window has no button.
    void SetCancel(std::function<void()> cancel);
    int Frame() const { return m_frame; }

public slots:
    void SetStatus(const QString& text);

protected:
    void reject() override;  // Esc and closing do nothing while work runs
    void closeEvent(QCloseEvent* event) override;

private:
    void NextFrame();
    void CancelClicked();

    std::unique_ptr<Ui::TWaitForm> ui;
    QList<QPixmap> m_frames;
    QTimer m_timer;
    int m_frame = 0;
    bool m_done = false;
    std::function<void()> m_cancel;
};
