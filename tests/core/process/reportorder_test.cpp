#include "core/process/reportorder.h"

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
    order.finished(2); // the third ends first: it still waits for the second
    a.showError(QStringLiteral("a1"));
    order.finished(0);
    b.timeReached(6);
    order.finished(1);

    EXPECT_EQ(sink.lines, (QStringList{
                              QStringLiteral("started 1/3"), QStringLiteral("file 0 a"), QStringLiteral("range 10"),
                              QStringLiteral("started 2/3"), QStringLiteral("time 3"), QStringLiteral("started 3/3"),
                              QStringLiteral("error a1"), QStringLiteral("file 1 b"), QStringLiteral("range 20"),
                              QStringLiteral("error b1"), QStringLiteral("time 5"), QStringLiteral("time 6"),
                              QStringLiteral("file 2 c"), QStringLiteral("error c1"),
                          }));
}

} // namespace
} // namespace sonavell
