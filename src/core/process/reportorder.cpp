#include "core/process/reportorder.h"

namespace sonavell {

ReportOrder::ReportOrder(ProgressSink &sink, const QStringList &files)
    : m_sink(sink), m_paths(files), m_files(static_cast<std::size_t>(files.size()))
{
}

void ReportOrder::FileSink::timeRange(int seconds)
{
    m_order.timeRange(m_index, seconds);
}

void ReportOrder::FileSink::timeReached(int seconds)
{
    m_order.timeReached(m_index, seconds);
}

void ReportOrder::FileSink::showError(const QString &message)
{
    m_order.showMessage(m_index, false, message);
}

void ReportOrder::FileSink::showNotice(const QString &message)
{
    m_order.showMessage(m_index, true, message);
}

void ReportOrder::started(int index)
{
    const std::lock_guard lock(m_mutex);
    m_files[static_cast<std::size_t>(index)].started = true;
    m_sink.filesStarted(++m_started, static_cast<int>(m_files.size()));
    if (index == m_front)
        deliverFront();
}

void ReportOrder::finished(int index, FileOutcome outcome)
{
    const std::lock_guard lock(m_mutex);
    File &file = m_files[static_cast<std::size_t>(index)];
    file.ended = true;
    file.outcome = outcome;
    while (m_front < static_cast<int>(m_files.size()) && m_files[static_cast<std::size_t>(m_front)].ended) {
        m_sink.fileFinished(m_front, m_files[static_cast<std::size_t>(m_front)].outcome);
        ++m_front;
        if (m_front < static_cast<int>(m_files.size()) && m_files[static_cast<std::size_t>(m_front)].started)
            deliverFront();
    }
}

void ReportOrder::deliverFront()
{
    File &file = m_files[static_cast<std::size_t>(m_front)];
    m_sink.fileStarted(m_front, static_cast<int>(m_files.size()), m_paths.at(m_front));
    if (file.range >= 0)
        m_sink.timeRange(file.range);
    for (const auto &[notice, message] : file.messages) {
        if (notice)
            m_sink.showNotice(message);
        else
            m_sink.showError(message);
    }
    if (file.time >= 0)
        m_sink.timeReached(file.time);
    file.messages.clear();
}

void ReportOrder::timeRange(int index, int seconds)
{
    const std::lock_guard lock(m_mutex);
    if (index == m_front) {
        m_sink.timeRange(seconds);
        return;
    }
    File &file = m_files[static_cast<std::size_t>(index)];
    file.range = seconds;
    file.time = -1;
}

void ReportOrder::timeReached(int index, int seconds)
{
    const std::lock_guard lock(m_mutex);
    if (index == m_front)
        m_sink.timeReached(seconds);
    else
        m_files[static_cast<std::size_t>(index)].time = seconds;
}

void ReportOrder::showMessage(int index, bool notice, const QString &message)
{
    const std::lock_guard lock(m_mutex);
    if (index != m_front)
        m_files[static_cast<std::size_t>(index)].messages.emplace_back(notice, message);
    else if (notice)
        m_sink.showNotice(message);
    else
        m_sink.showError(message);
}

} // namespace sonavell
