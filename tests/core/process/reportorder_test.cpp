#include "core/process/reportorder.h"

#include "core/process/batchjob.h"

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// Writes every report as a line.
struct LineSink : ProgressSink
{
    void fileStarted(int index, int, const QString &path) override { lines << QStringLiteral("file %1 %2").arg(index).arg(path); }
    void filesStarted(int started, int count) override { lines << QStringLiteral("started %1/%2").arg(started).arg(count); }
    void timeRange(int seconds) override { lines << QStringLiteral("range %1").arg(seconds); }
    void timeReached(int seconds) override { lines << QStringLiteral("time %1").arg(seconds); }
    void showError(const QString &message) override { lines << QStringLiteral("error ") + message; }
    void showNotice(const QString &message) override { lines << QStringLiteral("notice ") + message; }
    void fileFinished(int index, FileOutcome outcome) override
    {
        lines << QStringLiteral("end %1 %2").arg(index).arg(static_cast<int>(outcome));
    }
    QStringList lines;
};

// GIVEN three files of which the second and third run while the first is still at work
TEST(ReportOrderTest, LaterFilesWaitForTheOnesBefore)
{
    LineSink sink;
    ReportOrder order(sink, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    ReportOrder::FileSink a(order, 0), b(order, 1), c(order, 2);
    order.started(0);
    a.timeRange(10);
    order.started(1);
    b.timeRange(20);
    b.showError(QStringLiteral("b1"));
    b.timeReached(4);
    b.timeReached(5);
    a.timeReached(3);
    order.started(2);
    c.showError(QStringLiteral("c1"));
    c.showNotice(QStringLiteral("c2"));
    order.finished(2, FileOutcome::Failed); // the third ends first: it still waits for the second
    a.showError(QStringLiteral("a1"));
    order.finished(0, FileOutcome::Failed);
    b.timeReached(6);
    order.finished(1);

    EXPECT_EQ(sink.lines, (QStringList{
                              QStringLiteral("started 1/3"), QStringLiteral("file 0 a"), QStringLiteral("range 10"),
                              QStringLiteral("started 2/3"), QStringLiteral("time 3"), QStringLiteral("started 3/3"),
                              QStringLiteral("error a1"), QStringLiteral("end 0 1"), QStringLiteral("file 1 b"),
                              QStringLiteral("range 20"), QStringLiteral("error b1"), QStringLiteral("time 5"),
                              QStringLiteral("time 6"), QStringLiteral("end 1 0"), QStringLiteral("file 2 c"),
                              QStringLiteral("error c1"), QStringLiteral("notice c2"), QStringLiteral("end 2 1"),
                          }));
}

// A job whose file names say what its step does: "sound" reaches audio, "bad" reports an
// error, "silent" reports nothing.
class ScriptedJob : public BatchJob
{
public:
    ScriptedJob(const QStringList &files, bool givesUp) : BatchJob(files), m_givesUp(givesUp) {}
    void processFile(const QString &path) override
    {
        if (path.startsWith(QLatin1String("sound")))
            sink().timeReached(1);
        else if (path.startsWith(QLatin1String("bad")))
            sink().showError(QStringLiteral("cannot read ") + path);
    }

protected:
    QString noAudioConsequence() const override { return QStringLiteral("nothing made"); }
    bool givesUpAfterFailure() const override { return m_givesUp; }

private:
    bool m_givesUp;
};

struct OutcomeCase
{
    const char *name;
    bool givesUp;
    QStringList expected;
};

class StepOutcomeTest : public ::testing::TestWithParam<OutcomeCase>
{
};

// Both faces hear of an input in which nothing decoded, through the job's sink.
TEST_P(StepOutcomeTest, EveryFileEndsWithWhatBecameOfIt)
{
    LineSink sink;
    ScriptedJob job({QStringLiteral("silent1"), QStringLiteral("sound"), QStringLiteral("bad"), QStringLiteral("silent2")},
                    GetParam().givesUp);
    job.setSink(&sink);
    job.run();
    QStringList reports;
    for (const QString &line : std::as_const(sink.lines)) {
        if (line.startsWith(QLatin1String("error")) || line.startsWith(QLatin1String("end")))
            reports << line;
    }
    EXPECT_EQ(reports, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, StepOutcomeTest,
    ::testing::Values(OutcomeCase{"each_file_on_its_own", false,
                                  {QStringLiteral("error silent1: no MP3 audio found; nothing made"),
                                   QStringLiteral("end 0 2"), QStringLiteral("end 1 0"),
                                   QStringLiteral("error cannot read bad"), QStringLiteral("end 2 1"),
                                   QStringLiteral("error silent2: no MP3 audio found; nothing made"),
                                   QStringLiteral("end 3 2")}},
                      // After a failure such a job passes over the rest: they are not blamed.
                      OutcomeCase{"giving_up_after_a_failure", true,
                                  {QStringLiteral("error silent1: no MP3 audio found; nothing made"),
                                   QStringLiteral("end 0 2"), QStringLiteral("end 1 0"),
                                   QStringLiteral("error cannot read bad"), QStringLiteral("end 2 1"),
                                   QStringLiteral("end 3 3")}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
