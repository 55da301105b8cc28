#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <memory>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QShowEvent;

namespace Ui {
class ProgressDialog;
}

namespace sonavell {

class BatchJob;
class JobWorker;

// The modal window a file operation runs under: opening it starts the job on a worker thread,
// the job's reports move the two bars and the labels, and the window closes by itself when the
// job ends. Cancel (button, Escape or closing the window) stops the job at its next frame,
// chunk or file and waits for the worker before the window closes.
//
// Errors the job reports are shown one at a time in message boxes over this window while the
// job goes on; the window closes only once every one of them has been acknowledged.
//
// Typical use:
//     SplitJob job(paths);
//     ...
//     ProgressDialog::runJob(job, this);                                  // "Process"
//     ProgressDialog::runJob(job, this, ProgressDialog::Layout::DecodeMp3); // compact layouts
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Layout {
        Process,   // "Process": "File processing", the path, time and count bars, "File( i / n )"
        DecodeMp3, // "Decode MP3 file", compact, for decoding an MP3 before editing
        EncodeMp3, // "Encode MP3 file", compact, for encoding an edited selection
    };

    // The job is not owned and must outlive the dialog; it is run once, when the dialog opens.
    explicit ProgressDialog(BatchJob &job, QWidget *parent = nullptr, Layout layout = Layout::Process);
    // Cancels a job still running and waits for its worker.
    ~ProgressDialog() override;

    // Runs the job under a modal dialog of that layout; true when it ran to its end, false when
    // it was cancelled.
    static bool runJob(BatchJob &job, QWidget *parent, Layout layout = Layout::Process);

    Layout layoutKind() const { return m_layout; }
    QProgressBar *timeBar() const;
    QProgressBar *countBar() const;
    QString pathText() const;
    QString fileText() const;
    // Every error message shown so far, in order.
    QStringList shownErrors() const { return m_shownErrors; }
    // True once the worker has ended and its last report has arrived.
    bool isJobFinished() const { return m_jobFinished; }

    // Cancel: sets the job's cancel flag, waits for the worker, then closes.
    void reject() override;

Q_SIGNALS:
    // A message box with one of the job's errors has opened; it is modal to this window.
    void errorShown(QMessageBox *box);
    // The worker has ended and its reports have all arrived; the window closes now unless
    // error messages are still open.
    void jobEnded(bool cancelled);

protected:
    void showEvent(QShowEvent *event) override;

private:
    class Sink;

    void start();
    void onFileStarted(int index, int fileCount, const QString &path);
    void onFilesStarted(int started, int fileCount);
    void onTimeRange(int seconds);
    void onTimeReached(int seconds);
    void onError(const QString &message);
    void onFinished(bool cancelled);
    void showNextError();
    void closeWhenIdle();

    std::unique_ptr<Ui::ProgressDialog> m_ui;
    BatchJob &m_job;
    Layout m_layout;
    std::unique_ptr<Sink> m_sink;
    std::unique_ptr<JobWorker> m_worker; // declared after the sink: it goes first
    QStringList m_pendingErrors;
    QStringList m_shownErrors;
    QPointer<QMessageBox> m_errorBox;
    int m_filesStarted = 0;
    bool m_started = false;
    bool m_jobFinished = false;
    bool m_cancelRequested = false;
};

} // namespace sonavell
