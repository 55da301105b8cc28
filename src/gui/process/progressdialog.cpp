#include "gui/process/progressdialog.h"

#include "core/process/batchjob.h"
#include "core/process/progresssink.h"
#include "ui_progressdialog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QShowEvent>

#include <algorithm>
#include <atomic>

namespace sonavell {

// Carries the worker's reports to the window's thread. Every call is posted, never sent, so
// the worker never waits for the window. Posted calls to one receiver arrive in the order they
// were made, so finished() comes after every report before it.
class ProgressDialog::Sink : public ProgressSink
{
public:
    explicit Sink(ProgressDialog &dialog) : m_dialog(dialog) {}

    void fileStarted(int index, int fileCount, const QString &path) override
    {
        m_lastTime.store(-1, std::memory_order_relaxed);
        post([this, index, fileCount, path] { m_dialog.onFileStarted(index, fileCount, path); });
    }
    void filesStarted(int started, int fileCount) override
    {
        post([this, started, fileCount] { m_dialog.onFilesStarted(started, fileCount); });
    }
    void timeRange(int seconds) override
    {
        m_lastTime.store(-1, std::memory_order_relaxed);
        post([this, seconds] { m_dialog.onTimeRange(seconds); });
    }
    // Comes once per frame; only a change of the whole second is worth a trip to the window.
    void timeReached(int seconds) override
    {
        if (m_lastTime.exchange(seconds, std::memory_order_relaxed) != seconds)
            post([this, seconds] { m_dialog.onTimeReached(seconds); });
    }
    void showError(const QString &message) override
    {
        post([this, message] { m_dialog.onError(message); });
    }
    // Shown as the errors are, in a box the run does not wait for.
    void showNotice(const QString &message) override
    {
        post([this, message] { m_dialog.onError(message); });
    }
    void finished(bool cancelled) override
    {
        post([this, cancelled] { m_dialog.onFinished(cancelled); });
    }

private:
    template <typename F> void post(F call) { QMetaObject::invokeMethod(&m_dialog, std::move(call), Qt::QueuedConnection); }

    ProgressDialog &m_dialog;
    std::atomic<int> m_lastTime{-1};
};

ProgressDialog::ProgressDialog(BatchJob &job, QWidget *parent, Layout layout)
    : QDialog(parent), m_ui(std::make_unique<Ui::ProgressDialog>()), m_job(job), m_layout(layout),
      m_sink(std::make_unique<Sink>(*this))
{
    m_ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &ProgressDialog::reject);

    // Until the first file starts neither bar has a range to show.
    m_ui->timeBar->setRange(0, 1);
    m_ui->countBar->setRange(0, 1);
    m_ui->timeBar->setValue(0);
    m_ui->countBar->setValue(0);

    switch (layout) {
    case Layout::Process:
        setMinimumWidth(440);
        break;
    case Layout::DecodeMp3:
    case Layout::EncodeMp3:
        // The title says what happens; one file, so the heading goes.
        setWindowTitle(layout == Layout::DecodeMp3 ? QStringLiteral("Decode MP3 file")
                                                   : QStringLiteral("Encode MP3 file"));
        m_ui->headingLabel->hide();
        m_ui->mainLayout->setSpacing(4);
        setMinimumWidth(340);
        break;
    }
}

ProgressDialog::~ProgressDialog()
{
    if (m_worker) {
        if (!m_jobFinished)
            m_job.cancel();
        m_worker->wait();
        m_worker.reset();
    }
    // The job outlives the window; it must not report to it any more.
    if (m_started)
        m_job.setSink(nullptr);
}

bool ProgressDialog::runJob(BatchJob &job, QWidget *parent, Layout layout)
{
    ProgressDialog dialog(job, parent, layout);
    return dialog.exec() == QDialog::Accepted;
}

QProgressBar *ProgressDialog::timeBar() const
{
    return m_ui->timeBar;
}

QProgressBar *ProgressDialog::countBar() const
{
    return m_ui->countBar;
}

QString ProgressDialog::pathText() const
{
    return m_ui->pathEdit->text();
}

QString ProgressDialog::fileText() const
{
    return m_ui->fileLabel->text();
}

void ProgressDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_started)
        start();
}

void ProgressDialog::start()
{
    m_started = true;
    m_job.setSink(m_sink.get());
    m_worker = std::make_unique<JobWorker>(m_job);
    m_worker->start();
}

void ProgressDialog::reject()
{
    if (!m_worker || m_jobFinished) {
        // Nothing runs (any more): only the errors still to be acknowledged hold the window.
        if (!m_errorBox)
            QDialog::reject();
        return;
    }
    m_cancelRequested = true;
    m_worker->cancelAndWait();
    // The worker has ended; its last reports are waiting in the queue. Take them now so the
    // window closes at once (or shows the errors that came before the cancel).
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

// The path and the time bar follow the file that started first; the count covers every file
// started so far, also those that run beside it.
void ProgressDialog::onFileStarted(int index, int fileCount, const QString &path)
{
    m_ui->pathEdit->setText(path);
    onFilesStarted(index + 1, fileCount);
}

void ProgressDialog::onFilesStarted(int started, int fileCount)
{
    m_filesStarted = std::max(m_filesStarted, started);
    m_ui->countBar->setRange(0, fileCount);
    m_ui->countBar->setValue(m_filesStarted);
    m_ui->fileLabel->setText(QStringLiteral("File( %1 / %2 )").arg(m_filesStarted).arg(fileCount));
}

void ProgressDialog::onTimeRange(int seconds)
{
    // A file of no whole second still shows an empty bar, not a busy indicator.
    m_ui->timeBar->setRange(0, std::max(seconds, 1));
    m_ui->timeBar->setValue(0);
}

void ProgressDialog::onTimeReached(int seconds)
{
    m_ui->timeBar->setValue(std::clamp(seconds, 0, m_ui->timeBar->maximum()));
}

void ProgressDialog::onError(const QString &message)
{
    m_pendingErrors.append(message);
    showNextError();
}

void ProgressDialog::showNextError()
{
    if (m_errorBox || m_pendingErrors.isEmpty())
        return;
    const QString message = m_pendingErrors.takeFirst();
    m_shownErrors.append(message);
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Sonavell"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_errorBox = box;
    connect(box, &QDialog::finished, this, [this] {
        m_errorBox = nullptr;
        showNextError();
        closeWhenIdle();
    });
    // Not exec(): the window keeps taking the worker's reports while the box is up.
    box->open();
    Q_EMIT errorShown(box);
}

void ProgressDialog::onFinished(bool cancelled)
{
    m_jobFinished = true;
    if (cancelled)
        m_cancelRequested = true;
    Q_EMIT jobEnded(cancelled);
    closeWhenIdle();
}

void ProgressDialog::closeWhenIdle()
{
    if (!m_jobFinished || m_errorBox || !m_pendingErrors.isEmpty())
        return;
    done(m_cancelRequested ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace sonavell
