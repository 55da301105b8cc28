#pragma once

#include "core/process/progresssink.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <utility>
#include <vector>

namespace sonavell {

// Puts the reports of files worked on at once into file order for one sink, so that it sees
// what a run of one file after another would give: the front file (the earliest one not yet
// ended, which is also the one that started first) reports straight through; a later file's
// messages wait, and of its time reports only the last range and time are kept, until the
// files before it have ended. Only filesStarted() comes at once. Any thread; the sink is
// called by one thread at a time.
class ReportOrder
{
public:
    ReportOrder(ProgressSink &sink, const QStringList &files);

    // The step of one file reports here; used by the thread running that step.
    class FileSink : public ProgressSink
    {
    public:
        FileSink(ReportOrder &order, int index) : m_order(order), m_index(index) {}
        void fileStarted(int, int, const QString &) override {}
        void timeRange(int seconds) override;
        void timeReached(int seconds) override;
        void showError(const QString &message) override;
        void showNotice(const QString &message) override;

    private:
        ReportOrder &m_order;
        int m_index;
    };

    void started(int index);
    void finished(int index, FileOutcome outcome = FileOutcome::Done);

private:
    struct File
    {
        bool started = false;
        bool ended = false;
        int range = -1;
        int time = -1;
        FileOutcome outcome = FileOutcome::Done;
        std::vector<std::pair<bool, QString>> messages; // (is a notice, text), in the order given
    };

    void timeRange(int index, int seconds);
    void timeReached(int index, int seconds);
    void showMessage(int index, bool notice, const QString &message);
    // Tells the sink of the front file and what it has reported so far.
    void deliverFront();

    std::mutex m_mutex;
    ProgressSink &m_sink;
    const QStringList m_paths;
    std::vector<File> m_files;
    int m_front = 0;
    int m_started = 0;
};

} // namespace sonavell
