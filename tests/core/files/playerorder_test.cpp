#include "core/files/playerorder.h"

#include "testsupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace sonavell {
namespace {

// The local file system with a log of the moves and room for injected failures.
class ScriptedFileSystem : public PlayerFileSystem
{
public:
    bool move(const QString &from, const QString &to, QString *error) override
    {
        moves.append(name(from) + QStringLiteral(">") + name(to));
        if (auto failing = failuresLeft.find(from); failing != failuresLeft.end() && failing->second > 0) {
            --failing->second;
            *error = QStringLiteral("device busy");
            return false;
        }
        return PlayerFileSystem::move(from, to, error);
    }
    bool sync(const QString &path, QString *error) override
    {
        synced.insert(path);
        if (failSync) {
            *error = QStringLiteral("I/O error");
            return false;
        }
        return PlayerFileSystem::sync(path, error);
    }
    QStringList entries(const QString &folder) override
    {
        if (auto stored = storedOrder.find(folder); stored != storedOrder.end())
            return stored->second;
        return PlayerFileSystem::entries(folder);
    }

    static QString name(const QString &path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

    QStringList moves;
    std::set<QString> synced;
    std::map<QString, int> failuresLeft; // source path -> failing attempts
    std::map<QString, QStringList> storedOrder;
    bool failSync = false;
};

class PlayerOrderTest : public ::testing::Test
{
protected:
    // Files named after their content, in one folder of the stand-in volume.
    QStringList makeFiles(const QStringList &names, const QString &folder = QString())
    {
        QStringList paths;
        const QString base = folder.isEmpty() ? m_volume.path() : m_volume.file(folder);
        QDir().mkpath(base);
        for (const QString &name : names) {
            const QString path = base + QLatin1Char('/') + name;
            EXPECT_TRUE(test::writeAll(path, name.toUtf8()));
            paths << path;
        }
        return paths;
    }
    PlayerOrderResult rewrite(const QStringList &paths)
    {
        PlayerOrderRewrite rewrite(m_fs);
        rewrite.setStep([this](int i) { m_steps.append(i); });
        return rewrite.run(paths, m_volume.path());
    }
    QString work() const { return m_volume.file(QStringLiteral("temp____0")); }
    void expectIntact(const QStringList &paths)
    {
        for (const QString &path : paths)
            EXPECT_EQ(test::readAll(path), ScriptedFileSystem::name(path).toUtf8()) << path.toStdString();
    }

    test::TempFolder m_volume;
    ScriptedFileSystem m_fs;
    QList<int> m_steps;
};

TEST_F(PlayerOrderTest, FilesGoOutAndComeBackInListOrder)
{
    const QStringList paths =
        makeFiles({QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    m_fs.storedOrder[m_volume.path()] = {QStringLiteral("c.mp3"), QStringLiteral("a.mp3"),
                                         QStringLiteral("b.mp3")};
    const PlayerOrderResult result = rewrite(paths);

    EXPECT_EQ(m_fs.moves,
              (QStringList{QStringLiteral("c.mp3>0"), QStringLiteral("a.mp3>1"), QStringLiteral("b.mp3>2"),
                           QStringLiteral("0>c.mp3"), QStringLiteral("1>a.mp3"), QStringLiteral("2>b.mp3")}));
    EXPECT_EQ(m_steps, (QList<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_TRUE(result.workFolderRemoved);
    EXPECT_FALSE(QFileInfo::exists(work()));
    expectIntact(paths);
    // Every move reached the device: the files where they landed and both folders.
    for (const QString &path : paths)
        EXPECT_EQ(m_fs.synced.count(path), 1u) << path.toStdString();
    EXPECT_EQ(m_fs.synced.count(work() + QStringLiteral("/0")), 1u);
    EXPECT_EQ(m_fs.synced.count(m_volume.path()), 1u);
    EXPECT_EQ(m_fs.synced.count(work()), 1u);
    EXPECT_EQ(describePlayerOrderResult(result), QString());
}

TEST_F(PlayerOrderTest, AFileThatCannotComeBackStaysInTheKeptWorkFolder)
{
    const QStringList paths =
        makeFiles({QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    m_fs.failuresLeft[work() + QStringLiteral("/1")] = PlayerOrderRewrite::kMoveBackAttempts;
    const PlayerOrderResult result = rewrite(paths);

    ASSERT_EQ(result.stranded.size(), 1u);
    EXPECT_EQ(result.stranded[0].temporaryPath, work() + QStringLiteral("/1"));
    EXPECT_EQ(result.stranded[0].originalPath, paths[1]);
    EXPECT_EQ(m_fs.moves.count(QStringLiteral("1>a.mp3")), PlayerOrderRewrite::kMoveBackAttempts);
    EXPECT_FALSE(result.workFolderRemoved);
    EXPECT_EQ(test::readAll(work() + QStringLiteral("/1")), QByteArray("a.mp3"));
    expectIntact({paths[0], paths[2]});

    const QString message = describePlayerOrderResult(result);
    EXPECT_TRUE(message.contains(work() + QStringLiteral("/1"))) << message.toStdString();
    EXPECT_TRUE(message.contains(paths[1])) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("left in place"))) << message.toStdString();

    // The next update refuses to mix its own temporary names with the stranded file.
    m_fs.moves.clear();
    const PlayerOrderResult again = rewrite({paths[0], paths[2]});
    EXPECT_FALSE(again.startError.isEmpty());
    EXPECT_TRUE(m_fs.moves.isEmpty());
    EXPECT_EQ(test::readAll(work() + QStringLiteral("/1")), QByteArray("a.mp3"));
}

TEST_F(PlayerOrderTest, AMoveBackThatFailsOnceIsRetried)
{
    const QStringList paths = makeFiles({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    m_fs.failuresLeft[work() + QStringLiteral("/0")] = PlayerOrderRewrite::kMoveBackAttempts - 1;
    const PlayerOrderResult result = rewrite(paths);
    EXPECT_TRUE(result.stranded.empty());
    EXPECT_TRUE(result.workFolderRemoved);
    expectIntact(paths);
}

TEST_F(PlayerOrderTest, AFileThatCannotGoOutKeepsItsPlace)
{
    const QStringList paths = makeFiles({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    m_fs.failuresLeft[paths[0]] = 1;
    const PlayerOrderResult result = rewrite(paths);
    EXPECT_EQ(result.notMoved, QStringList{paths[0]});
    EXPECT_FALSE(m_fs.moves.contains(QStringLiteral("0>a.mp3")));
    EXPECT_TRUE(result.workFolderRemoved);
    expectIntact(paths);
}

TEST_F(PlayerOrderTest, FilesOffTheVolumeAreLeftAlone)
{
    test::TempFolder elsewhere;
    ASSERT_TRUE(test::writeAll(elsewhere.file(QStringLiteral("x.mp3")), "x.mp3"));
    const QStringList paths =
        QStringList{elsewhere.file(QStringLiteral("x.mp3"))} + makeFiles({QStringLiteral("a.mp3")});
    const PlayerOrderResult result = rewrite(paths);
    EXPECT_EQ(result.otherVolume, QStringList{paths[0]});
    EXPECT_EQ(m_fs.moves, (QStringList{QStringLiteral("a.mp3>1"), QStringLiteral("1>a.mp3")}));
    expectIntact(paths);
}

TEST_F(PlayerOrderTest, AnOrderTheDeviceDoesNotKeepIsReported)
{
    const QStringList music =
        makeFiles({QStringLiteral("b.mp3"), QStringLiteral("a.mp3")}, QStringLiteral("Music"));
    const QStringList top = makeFiles({QStringLiteral("z.mp3"), QStringLiteral("y.mp3")});
    // Music reads back as listed (other entries in between do not matter); the top folder does not.
    m_fs.storedOrder[m_volume.file(QStringLiteral("Music"))] = {
        QStringLiteral("b.mp3"), QStringLiteral("notes.txt"), QStringLiteral("a.mp3")};
    m_fs.storedOrder[m_volume.path()] = {QStringLiteral("Music"), QStringLiteral("y.mp3"),
                                         QStringLiteral("z.mp3")};
    const PlayerOrderResult result = rewrite(music + top);
    EXPECT_EQ(result.foldersOutOfOrder, QStringList{m_volume.path()});
    EXPECT_TRUE(describePlayerOrderResult(result).contains(m_volume.path()));
}

TEST_F(PlayerOrderTest, AFailedFlushIsReported)
{
    const QStringList paths = makeFiles({QStringLiteral("a.mp3")});
    m_fs.failSync = true;
    const PlayerOrderResult result = rewrite(paths);
    EXPECT_EQ(result.unsynced, QStringList{paths[0]});
    EXPECT_FALSE(describePlayerOrderResult(result).isEmpty());
    expectIntact(paths);
}

TEST_F(PlayerOrderTest, AnEmptyLeftoverWorkFolderIsUsed)
{
    ASSERT_TRUE(QDir().mkpath(work()));
    const QStringList paths = makeFiles({QStringLiteral("a.mp3")});
    const PlayerOrderResult result = rewrite(paths);
    EXPECT_TRUE(result.startError.isEmpty());
    EXPECT_TRUE(result.workFolderRemoved);
}

TEST_F(PlayerOrderTest, MovesNeverReplaceAFile)
{
    // A file already holds the temporary name's place: the move must fail, not overwrite it.
    const QStringList paths = makeFiles({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    QString error;
    EXPECT_FALSE(m_fs.PlayerFileSystem::move(paths[0], paths[1], &error));
    EXPECT_FALSE(error.isEmpty());
    expectIntact(paths);
}

TEST(CollectPlayerFiles, FindsMp3FilesInAnyCaseBelowVisibleFolders)
{
    test::TempFolder volume;
    QDir root(volume.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("Music/Live")));
    ASSERT_TRUE(root.mkpath(QStringLiteral(".hidden")));
    for (const char *name : {"Track1.MP3", "Music/b.mp3", "Music/notes.txt", "Music/Live/c.Mp3",
                             ".hidden/x.mp3", "Music/.mp3", "readme"})
        ASSERT_TRUE(test::writeAll(volume.file(QString::fromUtf8(name)), "x"));
    ASSERT_TRUE(QFile::link(volume.file(QStringLiteral("Music")), volume.file(QStringLiteral("Linked"))));

    const QStringList found = collectPlayerMp3Files(volume.path());
    QStringList sorted = found;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{volume.file(QStringLiteral("Music/Live/c.Mp3")),
                                   volume.file(QStringLiteral("Music/b.mp3")),
                                   volume.file(QStringLiteral("Track1.MP3"))}));
    // Depth first: a folder's files come together, each folder's entries in their stored order.
    const qsizetype b = found.indexOf(volume.file(QStringLiteral("Music/b.mp3")));
    const qsizetype c = found.indexOf(volume.file(QStringLiteral("Music/Live/c.Mp3")));
    const QStringList musicOrder = PlayerFileSystem().entries(volume.file(QStringLiteral("Music")));
    EXPECT_EQ(b < c,
              musicOrder.indexOf(QStringLiteral("b.mp3")) < musicOrder.indexOf(QStringLiteral("Live")));
    EXPECT_TRUE(collectPlayerMp3Files(volume.file(QStringLiteral("missing"))).isEmpty());
}

} // namespace
} // namespace sonavell
