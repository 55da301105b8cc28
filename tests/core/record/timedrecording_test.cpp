#include "core/record/timedrecording.h"
#include "testname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sonavell {
namespace {

// Entries are made on another day than the ticks: only the time of day counts.
const QDate kEntryDay(2026, 3, 2);
const QDate kTickDay(2026, 5, 14);

std::int32_t at(const QString &clock, QDate day = kEntryDay)
{
    return static_cast<std::int32_t>(
        QDateTime(day, QTime::fromString(clock, QStringLiteral("HH:mm:ss"))).toSecsSinceEpoch());
}

QDateTime tick(const QString &clock)
{
    return QDateTime(kTickDay, QTime::fromString(clock, QStringLiteral("HH:mm:ss")));
}

TimedRecording entry(const QString &start, const QString &end)
{
    return TimedRecording{0, at(start), at(end)};
}

// Records what the schedule asked for and acts like the recording control.
class FakeRecorder : public ScheduledRecorder
{
public:
    bool isRecording() const override { return m_recording; }
    void record() override
    {
        m_calls.push_back("record");
        m_recording = m_recordWorks;
    }
    void stop() override
    {
        m_calls.push_back("stop");
        m_recording = false;
    }

    bool m_recording = false;
    bool m_recordWorks = true;
    std::vector<std::string> m_calls;
};

struct DifferenceCase
{
    const char *entry;
    const char *now;
    int difference;
};

class TimeOfDayDifference : public ::testing::TestWithParam<DifferenceCase>
{
};

TEST_P(TimeOfDayDifference, ComparesClockTimesWithoutWrapping)
{
    const DifferenceCase &c = GetParam();
    EXPECT_EQ(timeOfDayDifference(at(QString::fromLatin1(c.entry)), tick(QString::fromLatin1(c.now))),
              c.difference);
}

INSTANTIATE_TEST_SUITE_P(Clock, TimeOfDayDifference,
                         ::testing::Values(DifferenceCase{"12:00:00", "12:00:00", 0},
                                           DifferenceCase{"12:00:01", "12:00:00", 1},
                                           DifferenceCase{"12:00:00", "12:00:02", -2},
                                           DifferenceCase{"23:59:59", "23:59:58", 1},
                                           DifferenceCase{"23:59:59", "00:00:00", 86399},
                                           DifferenceCase{"00:00:00", "23:59:59", -86399},
                                           DifferenceCase{"08:30:15", "09:31:16", -3661}),
                         [](const auto &info) {
                             return test::testName(info.param.entry + std::string("_now_") + info.param.now);
                         });

struct TickCase
{
    const char *name;
    const char *now;
    bool recording;
    std::vector<std::string> calls;
    bool recordingAfter;
};

class ScheduleTick : public ::testing::TestWithParam<TickCase>
{
};

// One entry from 10:00:00 to 10:30:00.
TEST_P(ScheduleTick, StartsAndStopsInsideTheTwoSecondWindow)
{
    const TickCase &c = GetParam();
    FakeRecorder recorder;
    recorder.m_recording = c.recording;
    checkSchedule({entry(QStringLiteral("10:00:00"), QStringLiteral("10:30:00"))},
                  tick(QString::fromLatin1(c.now)), recorder);
    EXPECT_EQ(recorder.m_calls, c.calls);
    EXPECT_EQ(recorder.m_recording, c.recordingAfter);
}

INSTANTIATE_TEST_SUITE_P(Window, ScheduleTick,
                         ::testing::Values(TickCase{"OnTheSecond", "10:00:00", false, {"record"}, true},
                                           TickCase{"OneEarly", "09:59:59", false, {"record"}, true},
                                           TickCase{"OneLate", "10:00:01", false, {"record"}, true},
                                           TickCase{"TwoLateMissesTheStart", "10:00:02", false, {}, false},
                                           TickCase{"TwoEarlyIsTooSoon", "09:59:58", false, {}, false},
                                           TickCase{"AlreadyRecording", "10:00:00", true, {}, true},
                                           TickCase{"EndStops", "10:30:01", true, {"stop"}, false},
                                           TickCase{"EndWhileIdle", "10:30:00", false, {}, false},
                                           TickCase{"LateEndMissesTheStop", "10:30:02", true, {}, true}),
                         [](const ::testing::TestParamInfo<TickCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(Schedule, StartJustBeforeMidnightFiresOnlyBeforeIt)
{
    const QList<TimedRecording> entries{entry(QStringLiteral("23:59:59"), QStringLiteral("23:00:00"))};
    for (const char *now : {"23:59:58", "23:59:59"}) {
        FakeRecorder recorder;
        checkSchedule(entries, tick(QString::fromLatin1(now)), recorder);
        EXPECT_TRUE(recorder.m_recording) << now;
    }
    FakeRecorder recorder;
    checkSchedule(entries, tick(QStringLiteral("00:00:00")), recorder);
    EXPECT_FALSE(recorder.m_recording);
}

TEST(Schedule, StartAndEndInOneTickStartThenStop)
{
    FakeRecorder recorder;
    checkSchedule({entry(QStringLiteral("07:00:00"), QStringLiteral("07:00:01"))},
                  tick(QStringLiteral("07:00:00")), recorder);
    EXPECT_EQ(recorder.m_calls, (std::vector<std::string>{"record", "stop"}));
    EXPECT_FALSE(recorder.m_recording);
}

TEST(Schedule, FailedStartLeavesNothingToStop)
{
    FakeRecorder recorder;
    recorder.m_recordWorks = false;
    checkSchedule({entry(QStringLiteral("07:00:00"), QStringLiteral("07:00:00"))},
                  tick(QStringLiteral("07:00:00")), recorder);
    EXPECT_EQ(recorder.m_calls, std::vector<std::string>{"record"});
}

TEST(Schedule, OnlyTheFirstDueEntryCounts)
{
    // The second entry shares the first one's start: one start, never a second one.
    const QList<TimedRecording> entries{entry(QStringLiteral("06:00:00"), QStringLiteral("06:10:00")),
                                        entry(QStringLiteral("06:00:00"), QStringLiteral("06:20:00"))};
    FakeRecorder recorder;
    checkSchedule(entries, tick(QStringLiteral("06:00:00")), recorder);
    checkSchedule(entries, tick(QStringLiteral("06:00:01")), recorder);
    EXPECT_EQ(recorder.m_calls, std::vector<std::string>{"record"});
    // Each end still stops whatever runs at its own time.
    checkSchedule(entries, tick(QStringLiteral("06:10:00")), recorder);
    EXPECT_FALSE(recorder.m_recording);
}

TEST(Schedule, HandStopInsideTheStartWindowStartsAgain)
{
    const QList<TimedRecording> entries{entry(QStringLiteral("18:00:00"), QStringLiteral("19:00:00"))};
    FakeRecorder recorder;
    checkSchedule(entries, tick(QStringLiteral("17:59:59")), recorder);
    recorder.stop();
    checkSchedule(entries, tick(QStringLiteral("18:00:00")), recorder);
    EXPECT_EQ(recorder.m_calls, (std::vector<std::string>{"record", "stop", "record"}));
    EXPECT_TRUE(recorder.m_recording);
}

TEST(Schedule, LaterEntriesFireAtTheirOwnTimes)
{
    const QList<TimedRecording> entries{entry(QStringLiteral("06:00:00"), QStringLiteral("06:10:00")),
                                        entry(QStringLiteral("20:00:00"), QStringLiteral("20:10:00"))};
    FakeRecorder recorder;
    checkSchedule(entries, tick(QStringLiteral("20:00:01")), recorder);
    EXPECT_TRUE(recorder.m_recording);
    checkSchedule(entries, tick(QStringLiteral("20:09:59")), recorder);
    EXPECT_FALSE(recorder.m_recording);
}

TEST(Schedule, MovingAnEntryKeepsItsDate)
{
    const std::int32_t start = at(QStringLiteral("10:00:00"));
    const std::int32_t moved = withTimeOfDay(start, QTime(21, 15, 30));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(moved).date(), kEntryDay);
    EXPECT_EQ(timeOfDay(moved), QTime(21, 15, 30));
}

} // namespace
} // namespace sonavell
