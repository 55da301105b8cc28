#include "gui/process/progressdialog.h"

#include "../core/process/processtesting.h"
#include "dialogtesthelpers.h"
#include "core/mp3/mp3layout.h"
#include "core/process/batchjob.h"
#include "core/process/reencodejob.h"
#include "core/process/splitjob.h"
#include "testname.h"
#include "testsupport.h"

#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

namespace sonavell {
namespace {

// A job whose per-file work the test writes. The lists are written on the worker and read
// after it has ended.
class ScriptedJob : public BatchJob
{
public:
    using Step = std::function<void(ScriptedJob &job, int index)>;

    ScriptedJob(QStringList files, Step step) : BatchJob(std::move(files)), m_step(std::move(step)) {}

    void processFile(const QString &path) override
    {
        const int index = static_cast<int>(files().indexOf(path));
        started.push_back(index);
        m_step(*this, index);
        if (!isCancelled())
            completed.push_back(index);
    }

    // Reports one frame after another, as a decoder does, until the job is cancelled.
    void framesUntilCancelled()
    {
        for (int frame = 0; !isCancelled(); ++frame) {
            sink().timeReached(frame / 38);
            std::this_thread::yield();
        }
    }

    std::vector<int> started;
    std::vector<int> completed;

private:
    Step m_step;
};

QStringList names(int count)
{
    QStringList files;
    for (int i = 1; i <= count; ++i)
        files.append(QStringLiteral("/music/track%1.mp3").arg(i));
    return files;
}

void clickCancel(ProgressDialog *dialog)
{
    dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
}

// Answers every error box the dialog opens, as a user would, after it has come up.
void answerErrors(ProgressDialog &dialog, std::vector<bool> *dialogVisible = nullptr)
{
    QObject::connect(&dialog, &ProgressDialog::errorShown, &dialog, [&dialog, dialogVisible](QMessageBox *box) {
        if (dialogVisible)
            dialogVisible->push_back(dialog.isVisible());
        QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
    });
}

TEST(ProgressDialogTest, OneFileFillsTheCountBarAndNamesTheFile)
{
    ScriptedJob job(names(1), [](ScriptedJob &self, int) {
        self.sink().timeRange(90);
        self.sink().timeReached(0);
        self.sink().timeReached(45);
    });
    ProgressDialog dialog(job);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Process"));
    EXPECT_EQ(dialog.fileText(), QStringLiteral("File"));
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    EXPECT_EQ(dialog.fileText(), QStringLiteral("File( 1 / 1 )"));
    EXPECT_EQ(dialog.pathText(), QStringLiteral("/music/track1.mp3"));
    EXPECT_EQ(dialog.countBar()->maximum(), 1);
    EXPECT_EQ(dialog.countBar()->value(), 1);
    EXPECT_EQ(dialog.timeBar()->maximum(), 90);
    EXPECT_EQ(dialog.timeBar()->value(), 45);
    EXPECT_TRUE(dialog.shownErrors().isEmpty());
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ProgressDialogTest, TheTimeBarRestartsWithEachFileWhileTheCountBarAdvances)
{
    // Snapshots taken on the window's thread when the second file's range arrives.
    std::vector<int> seen;
    ProgressDialog *dialogPointer = nullptr;
    ScriptedJob job(names(3), [&](ScriptedJob &self, int index) {
        self.sink().timeRange(10 * (index + 1));
        if (index == 1)
            QMetaObject::invokeMethod(
                dialogPointer,
                [&] {
                    seen = {dialogPointer->countBar()->value(), dialogPointer->timeBar()->value(),
                            dialogPointer->timeBar()->maximum()};
                },
                Qt::QueuedConnection);
        self.sink().timeReached(3 * (index + 1));
    });
    ProgressDialog dialog(job);
    dialogPointer = &dialog;
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 20}));
    EXPECT_EQ(dialog.fileText(), QStringLiteral("File( 3 / 3 )"));
    EXPECT_EQ(dialog.timeBar()->value(), 9);
}

TEST(ProgressDialogTest, CancelInTheThirdOfFiveFilesStopsThereAndClosesAtOnce)
{
    ProgressDialog *dialogPointer = nullptr;
    bool closedAtOnce = false;
    ScriptedJob job(names(5), [&](ScriptedJob &self, int index) {
        self.sink().timeRange(60);
        if (index != 2)
            return;
        // The user presses Cancel while this file is being decoded.
        QMetaObject::invokeMethod(
            dialogPointer,
            [&] {
                clickCancel(dialogPointer);
                closedAtOnce = !dialogPointer->isVisible();
            },
            Qt::QueuedConnection);
        self.framesUntilCancelled();
    });
    ProgressDialog dialog(job);
    dialogPointer = &dialog;
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);

    EXPECT_TRUE(job.isCancelled());
    EXPECT_EQ(job.started, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(job.completed, (std::vector<int>{0, 1}));
    EXPECT_TRUE(closedAtOnce);
    EXPECT_TRUE(dialog.isJobFinished());
    EXPECT_EQ(dialog.fileText(), QStringLiteral("File( 3 / 5 )"));
}

TEST(ProgressDialogTest, EscapeCancelsLikeTheButton)
{
    ProgressDialog *dialogPointer = nullptr;
    ScriptedJob job(names(2), [&](ScriptedJob &self, int) {
        QMetaObject::invokeMethod(dialogPointer, [&] { dialogPointer->reject(); }, Qt::QueuedConnection);
        self.framesUntilCancelled();
    });
    ProgressDialog dialog(job);
    dialogPointer = &dialog;
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(job.started, (std::vector<int>{0}));
}

TEST(ProgressDialogTest, AJobWhoseFilesAllFailShowsEachErrorThenClosesByItself)
{
    test::TempFolder folder;
    const QStringList missing{folder.file(QStringLiteral("a.mp3")), folder.file(QStringLiteral("b.mp3")),
                              folder.file(QStringLiteral("c.mp3"))};
    SplitJob job(missing);
    ProgressDialog dialog(job);
    std::vector<bool> visibleAtError;
    answerErrors(dialog, &visibleAtError);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    QStringList expected;
    for (const QString &path : missing)
        expected.append(QStringLiteral("Open File %1 Error").arg(path));
    EXPECT_EQ(dialog.shownErrors(), expected);
    EXPECT_EQ(visibleAtError, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(dialog.isVisible());
    for (const QString &path : missing)
        EXPECT_FALSE(QFile::exists(SplitJob::partPath(path, 1)));
}

TEST(ProgressDialogTest, TheJobGoesOnWhileAnErrorIsShownAndTheWindowWaitsForIt)
{
    QPointer<QMessageBox> box;
    bool boxOpenAtLastFile = false;
    bool visibleWhenEnded = false;
    ProgressDialog *dialogPointer = nullptr;
    ScriptedJob job(names(3), [&](ScriptedJob &self, int index) {
        if (index == 0)
            self.sink().showError(QStringLiteral("Open File /music/track1.mp3 Error"));
        if (index == 2)
            QMetaObject::invokeMethod(dialogPointer, [&] { boxOpenAtLastFile = box && box->isVisible(); },
                                      Qt::QueuedConnection);
    });
    ProgressDialog dialog(job);
    dialogPointer = &dialog;
    // The box is left open until the job has ended.
    QObject::connect(&dialog, &ProgressDialog::errorShown, &dialog, [&](QMessageBox *shown) { box = shown; });
    QObject::connect(&dialog, &ProgressDialog::jobEnded, &dialog, [&](bool cancelled) {
        EXPECT_FALSE(cancelled);
        visibleWhenEnded = dialog.isVisible();
        ASSERT_TRUE(box);
        QTimer::singleShot(0, box, [&] { box->done(QMessageBox::Ok); });
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    EXPECT_TRUE(boxOpenAtLastFile);
    EXPECT_TRUE(visibleWhenEnded);
    EXPECT_EQ(job.completed, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(dialog.shownErrors(), QStringList{QStringLiteral("Open File /music/track1.mp3 Error")});
}

TEST(ProgressDialogTest, DestroyingAnOpenWindowStopsTheJob)
{
    std::promise<void> running;
    ScriptedJob job(names(2), [&](ScriptedJob &self, int index) {
        if (index == 0)
            running.set_value();
        self.framesUntilCancelled();
    });
    {
        ProgressDialog dialog(job);
        dialog.show();
        running.get_future().wait();
    }
    EXPECT_TRUE(job.isCancelled());
    EXPECT_EQ(job.started, (std::vector<int>{0}));
}

// Cancels the in-place re-encoding of the third file past its first second, from the window.
class CancelledReencodeJob : public ReencodeJob
{
public:
    using ReencodeJob::ReencodeJob;
    std::function<void()> requestCancel; // called on the worker

    void processFile(const QString &path) override
    {
        if (path != files().at(2)) {
            ReencodeJob::processFile(path);
            return;
        }
        ProgressSink &window = sink();
        Gate gate(window, [this](int seconds) {
            if (seconds < 1 || m_asked)
                return;
            m_asked = true;
            requestCancel();
            while (!isCancelled())
                std::this_thread::yield();
        });
        setSink(&gate);
        ReencodeJob::processFile(path);
        setSink(&window);
    }

private:
    struct Gate : ProgressSink
    {
        Gate(ProgressSink &to, std::function<void(int)> onTime) : target(to), time(std::move(onTime)) {}
        void fileStarted(int index, int count, const QString &path) override { target.fileStarted(index, count, path); }
        void timeRange(int seconds) override { target.timeRange(seconds); }
        void timeReached(int seconds) override
        {
            target.timeReached(seconds);
            time(seconds);
        }
        void showError(const QString &message) override { target.showError(message); }
        ProgressSink &target;
        std::function<void(int)> time;
    };
    bool m_asked = false;
};

TEST(ProgressDialogTest, CancelDuringAnInPlaceRewriteLeavesTheCurrentFileAsItWas)
{
    test::TempFolder folder;
    QStringList files;
    std::vector<QByteArray> before;
    for (int i = 1; i <= 5; ++i) {
        files.append(folder.file(QStringLiteral("take%1.mp3").arg(i)));
        ASSERT_TRUE(test::makeToneMp3(files.back(), 3.0, 44100, 2, 128));
        before.push_back(test::readAll(files.back()));
    }
    CancelledReencodeJob job(files);
    job.setBitrateKbps(64);
    job.setParallelFiles(1); // the files before the third are done when it is cancelled
    ProgressDialog dialog(job);
    job.requestCancel = [&dialog] {
        QMetaObject::invokeMethod(&dialog, [&dialog] { clickCancel(&dialog); }, Qt::QueuedConnection);
    };
    answerErrors(dialog);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);

    EXPECT_EQ(firstFrameBitrate(files[0]), 64000);
    EXPECT_EQ(firstFrameBitrate(files[1]), 64000);
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(test::readAll(files[i]), before[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 5); // no temporary file left behind
    EXPECT_TRUE(dialog.shownErrors().isEmpty());
}

struct LayoutCase
{
    ProgressDialog::Layout layout;
    const char *title;
    const char *screenshot;
};

class ProgressDialogLayoutTest : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(ProgressDialogLayoutTest, ShowsItsTitleAndTheRunningJob)
{
    ProgressDialog *dialogPointer = nullptr;
    ScriptedJob job(names(4), [&](ScriptedJob &self, int index) {
        self.sink().timeRange(200);
        self.sink().timeReached(120);
        if (index != 1)
            return;
        // Drawn on the window's thread while the worker waits for it.
        std::promise<void> drawn;
        QMetaObject::invokeMethod(
            dialogPointer,
            [&] {
                dialogPointer->layout()->activate(); // the labels' new texts get their room first
                test::saveScreenshot(*dialogPointer, QString::fromLatin1(GetParam().screenshot));
                drawn.set_value();
            },
            Qt::QueuedConnection);
        drawn.get_future().wait();
    });
    ProgressDialog dialog(job, nullptr, GetParam().layout);
    dialogPointer = &dialog;
    EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(GetParam().title));
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.layoutKind(), GetParam().layout);
    EXPECT_EQ(dialog.fileText(), QStringLiteral("File( 4 / 4 )"));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ProgressDialogLayoutTest,
    ::testing::Values(LayoutCase{ProgressDialog::Layout::Process, "Process", "progress_process.png"},
                      LayoutCase{ProgressDialog::Layout::DecodeMp3, "Decode MP3 file", "progress_decode.png"},
                      LayoutCase{ProgressDialog::Layout::EncodeMp3, "Encode MP3 file", "progress_encode.png"}),
    [](const auto &info) { return test::testName(info.param.title); });

} // namespace
} // namespace sonavell
