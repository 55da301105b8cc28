// Every in-place operation on inputs met in the wild: files of other formats named .mp3,
// random data, free format, truncated files with a stale tag, leading junk, blocks of 0xFF,
// trailing APEv2 and Lyrics3 tags. Each either does the right thing or leaves the file
// byte-identical and says why.

#include "core/mp3/audioscan.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/process/decodecontext.h"
#include "core/process/inplacerewrite.h"
#include "core/process/mp3towavjob.h"
#include "core/process/reencodejob.h"
#include "core/process/splitjob.h"
#include "core/process/trimjob.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testsupport.h"

#include <QDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

namespace sonavell {
namespace {

constexpr int kRate = 8000; // MPEG-2.5: 72 ms frames of 144 bytes at 16 kbit/s, no padding
constexpr double kFrame = 576.0 / kRate;

QByteArray randomBytes(qsizetype count, quint32 seed)
{
    QByteArray bytes(count, '\0');
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

// At 8000 Hz the frames are too small for an Info tag; at 44100 Hz our encoder writes one.
QByteArray toneMp3(double seconds, int rate = kRate, int kbps = 16)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    if (!test::makeToneMp3(path, seconds, rate, 1, kbps))
        return QByteArray();
    return test::readAll(path);
}

QByteArray littleEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

QByteArray wavLike()
{
    const QByteArray pcm = test::sinePcm(44100, 2, 2.0, 440, 12000);
    return "RIFF" + littleEndian(quint32(36 + pcm.size()), 4) + "WAVEfmt " + littleEndian(16, 4) + littleEndian(1, 2)
        + littleEndian(2, 2) + littleEndian(44100, 4) + littleEndian(176400, 4) + littleEndian(4, 2)
        + littleEndian(16, 2) + "data" + littleEndian(quint32(pcm.size()), 4) + pcm;
}

// ADTS frames: a 12-bit sync of their own, with the layer bits an MP3 header would reserve.
QByteArray aacLike()
{
    QByteArray out;
    for (int i = 0; i < 400; ++i) {
        const int length = 7 + 200 + i % 50;
        QByteArray frame = QByteArray::fromHex("FFF15080000000");
        frame[3] = static_cast<char>(0x80 | ((length >> 11) & 0x3));
        frame[4] = static_cast<char>((length >> 3) & 0xFF);
        frame[5] = static_cast<char>(((length & 0x7) << 5) | 0x1F);
        frame[6] = static_cast<char>(0xFC);
        out += frame + randomBytes(length - 7, quint32(i));
    }
    return out;
}

QByteArray flacLike()
{
    QByteArray out = QByteArray("fLaC") + QByteArray::fromHex("80000022") + randomBytes(34, 7);
    for (int i = 0; i < 300; ++i)
        out += QByteArray::fromHex("FFF8C908") + randomBytes(300, quint32(100 + i));
    return out;
}

// Bitrate index 0 in every header: the frames' length is the distance between them. At 8000 Hz
// and 16 kbit/s our encoder's frames are all 144 bytes, so they stay valid.
QByteArray freeFormat()
{
    QByteArray bytes = toneMp3(3.0);
    for (qsizetype at = 0; at + 144 <= bytes.size(); at += 144)
        bytes[at + 2] = static_cast<char>(bytes[at + 2] & 0x0F);
    return bytes;
}

QByteArray apeTag(bool withHeader)
{
    const QByteArray item = littleEndian(5, 4) + littleEndian(0, 4) + QByteArray("Title", 6) + "Hello";
    const quint32 size = quint32(item.size() + 32);
    auto block = [&](bool header) {
        return QByteArray("APETAGEX") + littleEndian(2000, 4) + littleEndian(size, 4) + littleEndian(1, 4)
            + littleEndian((withHeader ? 0x80000000u : 0) | (header ? 0x20000000u : 0), 4) + QByteArray(8, '\0');
    };
    return (withHeader ? block(true) : QByteArray()) + item + block(false);
}

QByteArray lyrics3v2()
{
    const QByteArray body = QByteArray("LYRICSBEGIN") + "IND00002" + "10" + "LYR00005" + "la la";
    return body + QByteArray::number(body.size()).rightJustified(6, '0') + "LYRICS200";
}

QByteArray id3v1()
{
    return QByteArray("TAG").leftJustified(128, 'x');
}

enum class Expect { Refused, Rewritten };

struct InputCase
{
    const char *name;
    std::function<QByteArray()> build;
    Expect expect;
    QByteArray trailer = QByteArray(); // kept byte for byte by a rewrite
};

const InputCase kInputs[] = {
    {"wavNamedMp3", wavLike, Expect::Refused},
    {"aacNamedMp3", aacLike, Expect::Refused},
    {"flacNamedMp3", flacLike, Expect::Refused},
    {"randomData", [] { return randomBytes(200000, 1); }, Expect::Refused},
    {"blockOfFF", [] { return QByteArray(2 * 1024 * 1024, '\xFF'); }, Expect::Refused},
    {"mostlyFF", [] { return toneMp3(1.0) + QByteArray(400000, '\xFF'); }, Expect::Refused},
    {"junkBeyondTheLimit", [] { return QByteArray(kMaxLeadingJunk + 1000, '\0') + toneMp3(3.0); }, Expect::Refused},
    {"freeFormat", freeFormat, Expect::Rewritten},
    {"truncatedWithStaleTag", [] { return toneMp3(10.0, 44100, 64).left(30000); }, Expect::Rewritten},
    {"leadingZeros", [] { return QByteArray(20000, '\0') + toneMp3(3.0); }, Expect::Rewritten},
    {"leadingRandom", [] { return randomBytes(20000, 2) + toneMp3(3.0); }, Expect::Rewritten},
    {"apeWithHeader", [] { return toneMp3(3.0) + apeTag(true) + id3v1(); }, Expect::Rewritten, apeTag(true) + id3v1()},
    {"apeWithoutHeader", [] { return toneMp3(3.0) + apeTag(false); }, Expect::Rewritten, apeTag(false)},
    {"lyrics3AndApe", [] { return toneMp3(3.0) + lyrics3v2() + apeTag(false) + id3v1(); }, Expect::Rewritten,
     lyrics3v2() + apeTag(false) + id3v1()},
};

enum class Operation { Reencode, TrimCopy, TrimRecode };

struct SafetyCase
{
    InputCase input;
    Operation operation;
};

class InPlaceSafetyTest : public ::testing::TestWithParam<SafetyCase>
{
protected:
    void run(BatchJob &job) { test::runOnWorker(job, m_sink); }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
};

TEST_P(InPlaceSafetyTest, DoesTheRightThingOrLeavesTheFileAndSaysWhy)
{
    const SafetyCase &c = GetParam();
    const QString path = m_folder.file(QStringLiteral("x.mp3"));
    const QByteArray original = c.input.build();
    ASSERT_TRUE(test::writeAll(path, original));
    const double lengthBefore = queryMediaLength(path) / 1000.0;

    std::unique_ptr<BatchJob> job;
    if (c.operation == Operation::Reencode) {
        auto reencode = std::make_unique<ReencodeJob>(QStringList{path});
        reencode->setBitrateKbps(16);
        job = std::move(reencode);
    } else {
        auto trim = std::make_unique<TrimJob>(QStringList{path});
        trim->setRecode(c.operation == Operation::TrimRecode);
        trim->setBitrateKbps(16);
        trim->setStartTrimSeconds(0.5);
        trim->setEndTrimSeconds(0.5);
        job = std::move(trim);
    }
    run(*job);

    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("x.mp3")});
    const QByteArray after = test::readAll(path);
    if (c.input.expect == Expect::Refused) {
        EXPECT_EQ(after, original);
        EXPECT_EQ(m_sink.errors, QStringList{InPlaceRewrite::notAudioMessage(path)});
        return;
    }
    EXPECT_TRUE(m_sink.errors.isEmpty()) << m_sink.errors.join(u'\n').toStdString();
    EXPECT_TRUE(after.endsWith(c.input.trailer));
    const AudioScan scan = scanAudio(after);
    EXPECT_TRUE(scan.holdsAudio());
    EXPECT_TRUE(scan.damaged.empty());
    EXPECT_EQ(scan.leadingJunk, 0);
    const double lengthAfter = queryMediaLength(path) / 1000.0;
    const double expected = c.operation == Operation::Reencode ? lengthBefore : lengthBefore - 1.0;
    // A new encoding brings its own delay and padding (a few frames at this rate).
    EXPECT_NEAR(lengthAfter, expected, 5 * kFrame) << lengthBefore;
    // The cut starts in the audio, not in the junk before it: the tone is there from the start.
    const test::DecodedMp3 decoded = test::decodeMp3(after);
    EXPECT_GT(decoded.level(0.3, 0.6), 1000);
}

std::vector<SafetyCase> allCases()
{
    std::vector<SafetyCase> cases;
    for (const InputCase &input : kInputs)
        for (Operation operation : {Operation::Reencode, Operation::TrimCopy, Operation::TrimRecode})
            cases.push_back({input, operation});
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<SafetyCase> &info)
{
    static const char *const kOperations[] = {"reencode", "trimCopy", "trimRecode"};
    return std::string(info.param.input.name) + "_" + kOperations[int(info.param.operation)];
}

INSTANTIATE_TEST_SUITE_P(Inputs, InPlaceSafetyTest, ::testing::ValuesIn(allCases()), caseName);

TEST(FrameWalkTest, TruncatedFileWithAStaleTagIsMeasuredByItsFrames)
{
    const QByteArray whole = toneMp3(10.0, 44100, 64);
    const QByteArray cut = whole.left(whole.size() * 3 / 10);
    const AudioScan scan = scanAudio(cut);
    ASSERT_TRUE(scan.hasVbrHeader);
    EXPECT_GT(scan.vbr.frameCount, scan.frames + 10);
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("cut.mp3"));
    ASSERT_TRUE(test::writeAll(path, cut));
    EXPECT_NEAR(queryMediaLength(path) / 1000.0, scan.frames * 1152 / 44100.0, 0.001);
    Mp3FileInfo info(path);
    EXPECT_EQ(info.durationSeconds, int(scan.frames * 1152 / 44100));
}

TEST(FrameWalkTest, DamagedStretchesAreFoundOnceEach)
{
    QByteArray bytes = toneMp3(4.0);
    const qsizetype middle = (bytes.size() / 2) / 144 * 144;
    bytes.insert(middle, QByteArray(30000, '\xFF'));
    bytes.insert(144 * 5, randomBytes(1000, 3));
    const AudioScan scan = scanAudio(bytes);
    ASSERT_EQ(scan.damaged.size(), 2u);
    EXPECT_EQ(scan.damaged[0].offset, 144 * 5);
    EXPECT_EQ(scan.damaged[0].length, 1000);
    EXPECT_EQ(scan.damaged[1].length, 30000);
    EXPECT_EQ(scan.frames, scanAudio(toneMp3(4.0)).frames);
}

TEST(SplitJobCollisionTest, InputsWithTheSamePartNamesAreRefusedBeforeWriting)
{
    test::TempFolder folder;
    const QString upper = folder.file(QStringLiteral("Talk.MP3"));
    const QString lower = folder.file(QStringLiteral("talk.mp3"));
    ASSERT_TRUE(test::writeAll(upper, toneMp3(2.0)));
    ASSERT_TRUE(test::writeAll(lower, toneMp3(2.0)));
    SplitJob job({upper, lower});
    test::RecordingSink sink;
    test::runOnWorker(job, sink);
    EXPECT_EQ(sink.errors, QStringList{SplitJob::collisionMessage(upper, lower)});
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

TEST(NotAudioTest, SplitAndConversionWriteNothingForIt)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("song.mp3"));
    ASSERT_TRUE(test::writeAll(path, wavLike()));
    SplitJob split({path});
    Mp3ToWavJob toWav({path});
    toWav.setOutputFolder(folder.path());
    for (BatchJob *job : {static_cast<BatchJob *>(&split), static_cast<BatchJob *>(&toWav)}) {
        test::RecordingSink sink;
        test::runOnWorker(*job, sink);
        EXPECT_EQ(sink.errors, QStringList{DecodeContext::notAudioMessage(path)});
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("song.mp3")});
}

TEST(GaplessTest, TwoGenerationsOfReencodingKeepTheLength)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeMp3(path, test::sinePcm(44100, 2, 1.234, 440, 8000), 44100, 2, 128));
    const double first = test::gaplessSeconds(test::readAll(path));
    for (int generation = 0; generation < 2; ++generation) {
        ReencodeJob job({path});
        job.setBitrateKbps(96);
        test::RecordingSink sink;
        test::runOnWorker(job, sink);
        ASSERT_TRUE(sink.errors.isEmpty());
        EXPECT_NEAR(test::gaplessSeconds(test::readAll(path)), first, 1e-9) << generation;
    }
}

} // namespace
} // namespace sonavell
