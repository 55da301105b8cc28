#include "core/record/timedrecording.h"

#include "core/record/recordingcontrol.h"

#include <cstdlib>
#include <optional>

namespace sonavell {

namespace {

// The window is two seconds wide on either side, so a tick a second early or late still fires.
constexpr int kWindowSeconds = 2;

std::optional<qsizetype> firstDue(const QList<TimedRecording> &entries, const QDateTime &now,
                                  std::int32_t TimedRecording::*field)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (std::abs(timeOfDayDifference(entries[i].*field, now)) < kWindowSeconds)
            return i;
    }
    return std::nullopt;
}

class ControlRecorder : public ScheduledRecorder
{
public:
    explicit ControlRecorder(RecordingControl &control) : m_control(control) {}
    bool isRecording() const override { return m_control.isRecording(); }
    void record() override { m_control.recordScheduled(); }
    void stop() override { m_control.stop(); }

private:
    RecordingControl &m_control;
};

} // namespace

QTime timeOfDay(std::int32_t time)
{
    return QDateTime::fromSecsSinceEpoch(time).time();
}

std::int32_t withTimeOfDay(std::int32_t time, const QTime &clock)
{
    const QDateTime moved(QDateTime::fromSecsSinceEpoch(time).date(), clock);
    return static_cast<std::int32_t>(moved.toSecsSinceEpoch());
}

int timeOfDayDifference(std::int32_t time, const QDateTime &now)
{
    const QTime at = timeOfDay(time);
    const QTime clock = now.toLocalTime().time();
    return (at.hour() - clock.hour()) * 3600 + (at.minute() - clock.minute()) * 60 +
           (at.second() - clock.second());
}

void checkSchedule(const QList<TimedRecording> &entries, const QDateTime &now, ScheduledRecorder &recorder)
{
    if (firstDue(entries, now, &TimedRecording::start) && !recorder.isRecording())
        recorder.record();
    if (firstDue(entries, now, &TimedRecording::end) && recorder.isRecording())
        recorder.stop();
}

void checkSchedule(const QList<TimedRecording> &entries, const QDateTime &now, RecordingControl &control)
{
    ControlRecorder recorder(control);
    checkSchedule(entries, now, recorder);
}

} // namespace sonavell
