#include "core/process/reencodejob.h"
#include "core/process/replacementfile.h"

#include "processtesting.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavell {
namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

bool writeThrough(const ReplacementFile &file, const QByteArray &bytes)
{
    return ::write(file.descriptor(), bytes.constData(), std::size_t(bytes.size())) == bytes.size();
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(ReplacementFile, CommitTakesTheTargetsPlaceAndMode)
{
    test::TempFolder folder;
    const QString target = folder.file(QStringLiteral("a.mp3"));
    ASSERT_TRUE(test::writeAll(target, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    {
        ReplacementFile file(target);
        ASSERT_TRUE(file.isValid());
        ASSERT_TRUE(writeThrough(file, "new bytes"));
        // Writers that take a name reach the same open file.
        QFile byName(file.path());
        ASSERT_TRUE(byName.open(QIODevice::Append));
        ASSERT_EQ(byName.write("!"), 1);
        byName.close();
        EXPECT_EQ(test::readAll(target), "old");
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(test::readAll(target), "new bytes!");
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("a.mp3")});
}

TEST(ReplacementFile, UncommittedLeavesTheTargetAndNoTemporary)
{
    test::TempFolder folder;
    const QString target = folder.file(QStringLiteral("a.mp3"));
    ASSERT_TRUE(test::writeAll(target, "old"));
    {
        ReplacementFile file(target);
        ASSERT_TRUE(writeThrough(file, "half"));
    }
    EXPECT_EQ(test::readAll(target), "old");
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("a.mp3")});
}

// Names near the limit: the temporary name is cut to fit, at a character boundary.
TEST(ReplacementFile, TemporaryNamesStayWithinTheNameLimit)
{
    test::TempFolder folder;
    const QString ascii = QString(NAME_MAX - 4, QLatin1Char('n')) + QStringLiteral(".mp3");
    const QString wide = QString(125, QChar(0xE9)) + QStringLiteral(".mp3"); // 254 bytes in UTF-8
    for (const QString &name : {ascii, wide}) {
        SCOPED_TRACE(name.size());
        const QString target = folder.file(name);
        ASSERT_TRUE(test::writeAll(target, "old"));
        ReplacementFile file(target);
        ASSERT_TRUE(file.isValid());
        const QByteArray temporary = QFile::encodeName(QFileInfo(file.temporaryName()).fileName());
        EXPECT_LE(temporary.size(), NAME_MAX);
        EXPECT_EQ(QFile::encodeName(QFile::decodeName(temporary)), temporary); // no character cut in half
        ASSERT_TRUE(writeThrough(file, "new"));
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(test::readAll(target), "new");
    }
    EXPECT_EQ(entries(folder.path()).size(), 2);
}

TEST(ReplacementFile, LeftoversOfTheSameTargetAreRemovedWhenTheNextRewriteStarts)
{
    test::TempFolder folder;
    const QString target = folder.file(QStringLiteral("a.mp3"));
    ASSERT_TRUE(test::writeAll(target, "old"));
    const QStringList kept{QStringLiteral("a.mp3"), QStringLiteral("a.mp3.backup"),
                           QStringLiteral("a.mp3.sonavell-abc"), QStringLiteral("b.mp3.sonavell-Xyz789")};
    for (const QString &name : kept.mid(1))
        ASSERT_TRUE(test::writeAll(folder.file(name), "user's"));
    ASSERT_TRUE(test::writeAll(folder.file(QStringLiteral("a.mp3.sonavell-Q1w2E3")), "left by a crash"));
    ASSERT_TRUE(QFile::link(folder.file(QStringLiteral("a.mp3.backup")), folder.file(QStringLiteral("a.mp3.sonavell-link00"))));

    ReplacementFile running(target); // a rewrite still going on keeps its file
    ASSERT_TRUE(running.isValid());
    {
        ReplacementFile next(target);
        ASSERT_TRUE(next.isValid());
        QStringList expected = kept;
        expected << QFileInfo(running.temporaryName()).fileName() << QFileInfo(next.temporaryName()).fileName()
                 << QStringLiteral("a.mp3.sonavell-link00"); // not a regular file: not ours
        expected.sort();
        EXPECT_EQ(entries(folder.path()), expected);
    }
    EXPECT_TRUE(writeThrough(running, "new"));
    EXPECT_TRUE(running.commit());
    EXPECT_EQ(test::readAll(target), "new");
}

// ---- The attacker ------------------------------------------------------------------------------
// A shared folder that others may write to: while a rewrite runs, a second thread swaps the
// temporary file, or the whole folder, for a symbolic link to a place outside. Whatever the step,
// the outside files stay as they were and the rewrite fails with an error.

enum class Swap { Temporary, Folder };

struct RaceCase
{
    const char *name;
    ReplacementFile::Step step;
    Swap swap;
};

class RewriteRace : public ::testing::TestWithParam<RaceCase>
{
protected:
    void SetUp() override
    {
        m_shared = m_root.file(QStringLiteral("shared"));
        m_outside = m_root.file(QStringLiteral("outside"));
        ASSERT_TRUE(QDir().mkpath(m_shared));
        ASSERT_TRUE(QDir().mkpath(m_outside));
        ASSERT_EQ(::chmod(QFile::encodeName(m_shared).constData(), 0777), 0);
        m_target = m_shared + QStringLiteral("/song.mp3");
        ASSERT_TRUE(test::makeToneMp3(m_target, 1.0));
        m_original = test::readAll(m_target);
        m_secret = m_outside + QStringLiteral("/secret");
        ASSERT_TRUE(test::writeAll(m_secret, "root's secret"));
        ASSERT_EQ(::chmod(QFile::encodeName(m_secret).constData(), 0600), 0);
        // What the swapped folder's song.mp3 is: a file of someone else.
        ASSERT_TRUE(test::writeAll(m_outside + QStringLiteral("/song.mp3"), "another song"));
    }

    void TearDown() override { ReplacementFile::setStepHookForTests({}); }

    // Runs on the attacker's thread, while the rewriting thread waits at the step.
    void attack(Swap swap)
    {
        if (swap == Swap::Temporary) {
            for (const QString &name : entries(m_shared)) {
                if (!name.startsWith(QStringLiteral("song.mp3.sonavell-")))
                    continue;
                const QByteArray path = QFile::encodeName(m_shared + QLatin1Char('/') + name);
                m_swapped = ::unlink(path.constData()) == 0
                            && ::symlink(QFile::encodeName(m_secret).constData(), path.constData()) == 0;
            }
        } else {
            const QByteArray shared = QFile::encodeName(m_shared);
            m_swapped = ::rename(shared.constData(), (shared + ".moved").constData()) == 0
                        && ::symlink(QFile::encodeName(m_outside).constData(), shared.constData()) == 0;
        }
    }

    test::TempFolder m_root;
    QString m_shared;
    QString m_outside;
    QString m_target;
    QString m_secret;
    QByteArray m_original;
    bool m_swapped = false;
};

TEST_P(RewriteRace, OutsideFilesStayAndTheRewriteFails)
{
    const RaceCase &c = GetParam();
    ReplacementFile::setStepHookForTests([&](ReplacementFile::Step step) {
        if (step == c.step)
            std::thread([&] { attack(c.swap); }).join();
    });
    ReencodeJob job({m_target});
    job.setBitrateKbps(32);
    job.setVolumeScale(1.0f);
    test::RecordingSink sink;
    test::runOnWorker(job, sink);
    ReplacementFile::setStepHookForTests({});
    ASSERT_TRUE(m_swapped);

    EXPECT_EQ(test::readAll(m_secret), "root's secret");
    EXPECT_EQ(modeOf(m_secret), 0600u);
    EXPECT_EQ(test::readAll(m_outside + QStringLiteral("/song.mp3")), "another song");
    EXPECT_EQ(entries(m_outside), (QStringList{QStringLiteral("secret"), QStringLiteral("song.mp3")}));
    const QString original = c.swap == Swap::Folder ? m_shared + QStringLiteral(".moved/song.mp3") : m_target;
    EXPECT_EQ(test::readAll(original), m_original);
    EXPECT_EQ(sink.errors.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RewriteRace,
    ::testing::Values(RaceCase{"temporaryAtCreation", ReplacementFile::Step::Created, Swap::Temporary},
                      RaceCase{"temporaryBeforeCommit", ReplacementFile::Step::Committing, Swap::Temporary},
                      RaceCase{"temporaryBeforeRename", ReplacementFile::Step::Renaming, Swap::Temporary},
                      RaceCase{"folderAtCreation", ReplacementFile::Step::Created, Swap::Folder},
                      RaceCase{"folderBeforeCommit", ReplacementFile::Step::Committing, Swap::Folder},
                      RaceCase{"folderBeforeRename", ReplacementFile::Step::Renaming, Swap::Folder}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
