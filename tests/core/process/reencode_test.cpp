#include "core/decode/decoder.h"
#include "core/process/batchjob.h"
#include "core/process/inplacerewrite.h"
#include "core/process/reencode.h"
#include "core/process/reencodejob.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace sonavell {
namespace {

// Keeps what each step returned; one file at a time, as the list it fills is not shared.
class RecordingReencodeJob : public ReencodeJob
{
public:
    RecordingReencodeJob(QStringList files, int kbps, float volume) : ReencodeJob(std::move(files))
    {
        setBitrateKbps(kbps);
        setVolumeScale(volume);
        setParallelFiles(1);
    }
    void processFile(const QString &path) override
    {
        rewritten.append(reencodeFile(*this, path, bitrateKbps(), volumeScale()));
    }
    QList<bool> rewritten;
};

QStringList folderEntries(const test::TempFolder &folder)
{
    return QDir(folder.path()).entryList(QDir::Files, QDir::Name);
}

class ReencodeTest : public ::testing::Test
{
protected:
    QString makeTone(const char *name, double seconds = 2.0)
    {
        const QString path = m_folder.file(QString::fromLatin1(name));
        EXPECT_TRUE(test::makeToneMp3(path, seconds));
        return path;
    }

    void runJob(BatchJob &job)
    {
        job.setSink(&m_sink);
        JobWorker worker(job);
        worker.start();
        worker.wait();
    }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
};

TEST_F(ReencodeTest, RewritesInPlaceAtTheNewRateAndVolume)
{
    const QString path = makeTone("a.mp3");
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(path, mode);
    const test::DecodedMp3 before = test::decodeMp3File(path);

    RecordingReencodeJob job({path}, 112, 0.5f);
    runJob(job);

    EXPECT_EQ(job.rewritten, QList<bool>{true});
    const test::DecodedMp3 after = test::decodeMp3File(path);
    EXPECT_EQ(after.bitRates, std::set<int>{112});
    EXPECT_EQ(after.sampleRate, 44100);
    EXPECT_EQ(after.channels, 2);
    EXPECT_NEAR(after.seconds(), before.seconds(), 0.1);
    EXPECT_NEAR(after.level(0.5, 1.5), before.level(0.5, 1.5) / 2, before.level(0.5, 1.5) * 0.05);
    const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                                        | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & modeBits, mode);
    EXPECT_EQ(folderEntries(m_folder), QStringList{QStringLiteral("a.mp3")});

    EXPECT_EQ(m_sink.started, std::vector<int>{0});
    EXPECT_EQ(m_sink.ranges, std::vector<int>{2});
    ASSERT_FALSE(m_sink.times.empty());
    EXPECT_TRUE(std::is_sorted(m_sink.times.begin(), m_sink.times.end()));
    EXPECT_EQ(m_sink.times.back(), 2);
    EXPECT_EQ(m_sink.finishedCount, 1);
    EXPECT_FALSE(m_sink.cancelled);
    EXPECT_TRUE(m_sink.errors.isEmpty());
}

TEST_F(ReencodeTest, TheFilesOwnRateAndFullVolumeStillReencode)
{
    const QString path = makeTone("same.mp3", 1.0);
    const QByteArray original = test::readAll(path);
    ReencodeJob job({path});
    job.setBitrateKbps(128);
    job.setVolumeScale(1.0f);
    runJob(job);
    const QByteArray bytes = test::readAll(path);
    EXPECT_NE(bytes, original);
    const test::DecodedMp3 after = test::decodeMp3(bytes);
    EXPECT_EQ(after.bitRates, std::set<int>{128});
    // Decoded without the first encoding's delay and padding: the real audio keeps its length.
    EXPECT_NEAR(test::gaplessSeconds(bytes), test::gaplessSeconds(original), 1e-9);
}

TEST_F(ReencodeTest, KeepsBothTagsByteForByte)
{
    const QByteArray frames = QByteArray::fromHex("5449543200000005000000416263640000000000000000000000000000000000");
    // One ID3v2.4 tag (32 bytes of frames follow); two stacked tags; a v2.3 tag with flag bit 4
    // set, which before version 4 means no footer.
    const QByteArray v24 = QByteArray::fromHex("49443304000000000020") + frames;
    const QByteArray v23 = QByteArray::fromHex("49443303001000000020") + frames;
    QByteArray id3v1("TAG");
    id3v1.append(QByteArray("Title").leftJustified(30, '\0'));
    id3v1.append(QByteArray("Artist").leftJustified(30, '\0'));
    id3v1.append(QByteArray("Album").leftJustified(30, '\0'));
    id3v1.append("2024");
    id3v1.append(QByteArray(28, '\0'));
    id3v1.append('\0');
    id3v1.append('\x07');
    id3v1.append('\x0C');
    ASSERT_EQ(id3v1.size(), 128);

    for (const QByteArray &id3v2 : {v24, v24 + v23, v23}) {
        SCOPED_TRACE(id3v2.size());
        const QString path = makeTone("tagged.mp3");
        ASSERT_TRUE(test::writeAll(path, id3v2 + test::readAll(path) + id3v1));

        RecordingReencodeJob job({path}, 96, 1.0f);
        runJob(job);

        const QByteArray bytes = test::readAll(path);
        EXPECT_EQ(bytes.left(id3v2.size()), id3v2);
        EXPECT_EQ(bytes.right(128), id3v1);
        const test::DecodedMp3 after = test::decodeMp3(bytes.mid(id3v2.size(), bytes.size() - id3v2.size() - 128));
        EXPECT_EQ(after.bitRates, std::set<int>{96});
        EXPECT_EQ(after.errors, 0);
        EXPECT_NEAR(after.seconds(), 2.0, 0.1);
    }
}

TEST_F(ReencodeTest, CancelDuringTheThirdOfFiveFiles)
{
    QStringList files;
    QList<QByteArray> originals;
    for (const char *name : {"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}) {
        files.append(makeTone(name, 1.0));
        originals.append(test::readAll(files.last()));
    }
    RecordingReencodeJob job(files, 32, 1.0f);
    // GIVEN a cancel that arrives while the third file is being decoded
    m_sink.onTime = [&](int) {
        if (m_sink.started.back() == 2 && m_sink.times.size() > 10)
            job.cancel();
    };
    runJob(job);

    // THEN the first two are rewritten, the third stops and stays as it was, the rest are untouched
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(m_sink.count, 5);
    EXPECT_EQ(job.rewritten, (QList<bool>{true, true, false}));
    EXPECT_EQ(test::decodeMp3File(files[0]).bitRates, std::set<int>{32});
    EXPECT_EQ(test::decodeMp3File(files[1]).bitRates, std::set<int>{32});
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(test::readAll(files[i]), originals[i]) << i;
    EXPECT_EQ(folderEntries(m_folder).size(), 5);
    EXPECT_EQ(m_sink.finishedCount, 1);
    EXPECT_TRUE(m_sink.cancelled);
}

TEST_F(ReencodeTest, FilesRunAtOnceReportInFileOrder)
{
    QStringList files;
    for (const char *name : {"1.mp3", "2.mp3", "3.mp3", "4.mp3"})
        files.append(makeTone(name, 1.0));
    files.insert(1, m_folder.file(QStringLiteral("missing.mp3")));
    ReencodeJob job(files);
    job.setBitrateKbps(32);
    job.setParallelFiles(3);
    runJob(job);

    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(m_sink.startedCounts, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(files[1])});
    for (const QString &file : files.mid(2))
        EXPECT_EQ(test::decodeMp3File(file).bitRates, std::set<int>{32}) << qPrintable(file);
    EXPECT_EQ(folderEntries(m_folder).size(), 4);
}

TEST_F(ReencodeTest, CancelStopsEveryFileRunningAtOnce)
{
    QStringList files;
    QList<QByteArray> originals;
    for (const char *name : {"1.mp3", "2.mp3", "3.mp3"}) {
        files.append(makeTone(name, 3.0));
        originals.append(test::readAll(files.last()));
    }
    ReencodeJob job(files);
    job.setBitrateKbps(32);
    job.setParallelFiles(3);
    // GIVEN a cancel once the first file, which started first, is a second in
    m_sink.onTime = [&](int seconds) {
        if (seconds >= 1)
            job.cancel();
    };
    runJob(job);

    EXPECT_TRUE(m_sink.cancelled);
    // The first file was running when the cancel came; on a loaded machine another may have
    // finished just before it, and is then whole. No file is ever left half rewritten.
    EXPECT_EQ(test::readAll(files[0]), originals[0]);
    for (int i = 1; i < files.size(); ++i) {
        if (test::readAll(files[i]) != originals[i]) {
            EXPECT_EQ(firstFrameBitrate(files[i]), 32000) << i;
        }
    }
    EXPECT_EQ(folderEntries(m_folder).size(), 3);
}

TEST_F(ReencodeTest, CancelBeforeTheFirstFileTouchesNothing)
{
    const QString path = makeTone("a.mp3", 1.0);
    const QByteArray original = test::readAll(path);
    RecordingReencodeJob job({path}, 32, 1.0f);
    job.cancel();
    runJob(job);
    EXPECT_TRUE(m_sink.started.empty());
    EXPECT_EQ(test::readAll(path), original);
    EXPECT_TRUE(m_sink.cancelled);
}

TEST_F(ReencodeTest, InputsThatCannotBeOpenedAreReportedAndSkipped)
{
    const QStringList files{m_folder.file(QStringLiteral("missing1.mp3")), QString(), m_folder.path()};
    RecordingReencodeJob job(files, 32, 1.0f);
    runJob(job);
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(m_sink.errors, (QStringList{QStringLiteral("Open File %1 Error").arg(files[0]),
                                          QStringLiteral("Open File  Error"),
                                          QStringLiteral("Open File %1 Error\n%1 is a folder, not a regular file.").arg(files[2])}));
    EXPECT_EQ(m_sink.finishedCount, 1);
    EXPECT_FALSE(m_sink.cancelled);
    EXPECT_TRUE(folderEntries(m_folder).isEmpty());
}

TEST_F(ReencodeTest, ThroughALinkTheLinkedFileIsRewritten)
{
    const QString path = makeTone("real.mp3", 1.0);
    const QString link = m_folder.file(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(path, link));
    RecordingReencodeJob job({link}, 32, 1.0f);
    runJob(job);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
    EXPECT_EQ(test::decodeMp3File(path).bitRates, std::set<int>{32});
    EXPECT_EQ(folderEntries(m_folder), (QStringList{QStringLiteral("link.mp3"), QStringLiteral("real.mp3")}));
}

TEST_F(ReencodeTest, WriteProtectedFileIsLeftAlone)
{
    const QString path = makeTone("locked.mp3", 1.0);
    const QByteArray original = test::readAll(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    if (QFileInfo(path).isWritable())
        GTEST_SKIP() << "running with rights that ignore file modes";
    RecordingReencodeJob job({path}, 32, 1.0f);
    runJob(job);
    EXPECT_EQ(test::readAll(path), original);
    EXPECT_EQ(m_sink.errors.size(), 1);
    EXPECT_EQ(folderEntries(m_folder), QStringList{QStringLiteral("locked.mp3")});
}

TEST_F(ReencodeTest, RewriteKeepsTheModeAndOwner)
{
    const QString path = makeTone("shared.mp3", 1.0);
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    // Only a process with the rights to give files away can set another owner.
    if (::chown(native.constData(), 4321, 4321) != 0)
        GTEST_SKIP() << "no rights to change a file's owner";
    RecordingReencodeJob job({path}, 32, 1.0f);
    runJob(job);
    struct stat after = {};
    ASSERT_EQ(::stat(native.constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 0777, 0640u);
    EXPECT_EQ(after.st_uid, 4321u);
    EXPECT_EQ(after.st_gid, 4321u);
    EXPECT_EQ(test::decodeMp3File(path).bitRates, std::set<int>{32});
}

struct UndecodableCase
{
    const char *name;
    QByteArray content;
};

class UndecodableTest : public ReencodeTest, public ::testing::WithParamInterface<UndecodableCase>
{
};

TEST_P(UndecodableTest, LeavesTheFileAsItWas)
{
    const QString path = m_folder.file(QStringLiteral("x.mp3"));
    ASSERT_TRUE(test::writeAll(path, GetParam().content));
    RecordingReencodeJob job({path}, 32, 1.0f);
    runJob(job);
    EXPECT_EQ(job.rewritten, QList<bool>{false});
    EXPECT_EQ(test::readAll(path), GetParam().content);
    EXPECT_EQ(folderEntries(m_folder), QStringList{QStringLiteral("x.mp3")});
    EXPECT_EQ(m_sink.errors, QStringList{InPlaceRewrite::notAudioMessage(path)});
}

INSTANTIATE_TEST_SUITE_P(Inputs, UndecodableTest,
                         ::testing::Values(UndecodableCase{"empty", QByteArray()},
                                           UndecodableCase{"text", QByteArray(3000, 'q')},
                                           UndecodableCase{"onlyTag", QByteArray("TAG").leftJustified(128, ' ')}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReencodeTest, FramesOfAnotherSizeLoseNoSamples)
{
    // GIVEN an MPEG-1 part (1152 samples a frame) followed by an MPEG-2 part (576)
    const QString first = m_folder.file(QStringLiteral("first.mp3"));
    const QString second = m_folder.file(QStringLiteral("second.mp3"));
    ASSERT_TRUE(test::makeToneMp3(first, 1.0, 44100, 2, 128));
    ASSERT_TRUE(test::makeToneMp3(second, 1.0, 22050, 2, 64));
    const test::DecodedMp3 a = test::decodeMp3File(first);
    const test::DecodedMp3 b = test::decodeMp3File(second);
    const QString path = m_folder.file(QStringLiteral("joined.mp3"));
    ASSERT_TRUE(test::writeAll(path, test::readAll(first) + test::readAll(second)));

    RecordingReencodeJob job({path}, 128, 1.0f);
    runJob(job);

    // THEN every decoded sample reaches the output (as 44.1 kHz frames, plus the encoder's own padding)
    const test::DecodedMp3 out = test::decodeMp3File(path);
    const double expectedFrames = static_cast<double>(a.pcm.size() + b.pcm.size()) / 2;
    const double outFrames = static_cast<double>(out.pcm.size()) / 2;
    EXPECT_GE(outFrames, expectedFrames);
    EXPECT_LE(outFrames, expectedFrames + 3 * 1152);
}

} // namespace
} // namespace sonavell
