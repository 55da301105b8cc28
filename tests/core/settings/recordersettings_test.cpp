#include "core/settings/recordersettings.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sonavell {
namespace {

QByteArray littleEndian32(std::uint32_t value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

TEST(RecorderSettings, DefaultsMatchTheFirstRun)
{
    RecorderSettings s;
    EXPECT_EQ(s.recordFormat(), (WaveFormat{1, 2, 44100, 44100, 1, 16, 0}));
    EXPECT_EQ(s.bitRateIndex(), 13);
    EXPECT_EQ(s.bitRate(), 160);
    EXPECT_TRUE(s.silenceEnabled());
    EXPECT_EQ(s.sensitivity(), 500);
    EXPECT_TRUE(s.skipSilence());
    EXPECT_EQ(s.silenceAction(), 0);
    EXPECT_EQ(s.stopAfterSeconds(), 5);
    EXPECT_EQ(s.newFileAfterSeconds(), 5);
    EXPECT_TRUE(s.playLoop());
    EXPECT_TRUE(s.saveDirectory().endsWith(QLatin1Char('/')));
    EXPECT_TRUE(s.fileList().isEmpty());
    EXPECT_TRUE(s.timedRecordings().isEmpty());
}

TEST(RecorderSettings, DefaultFileLayoutIsByteExact)
{
    RecorderSettings s;
    s.setSaveDirectory(QStringLiteral("/m/"));
    const QByteArray expected = QByteArray::fromHex("0100" "0200" "44ac0000" "44ac0000" "0100" "1000" "0000"
                                                    "03" "2f6d2f"
                                                    "f4010000" "01000000" "00000000" "01000000" "0d000000"
                                                    "00000000"
                                                    "00000000" "00000000"
                                                    "00000000");
    EXPECT_EQ(s.toBytes().toHex(), expected.toHex());
}

TEST(RecorderSettings, ListsAndTimedEntriesReadBackEqual)
{
    RecorderSettings s;
    s.setFileList({QStringLiteral("/music/a.mp3"), QStringLiteral("/music/Ünïcode b.MP3"), QStringLiteral("c.mp3")});
    s.setTimedRecordings({{0, 3600, 7200}, {0, 86000, 90000}});
    s.setStopAfterSeconds(30);
    s.setNewFileAfterSeconds(12);
    s.setPlayLoop(false);
    s.setSensitivity(777);
    s.setSilenceAction(1);
    s.setBitRateIndex(4);
    s.setChannelsIndex(0);
    s.setSampleRate(22050);

    RecorderSettings back;
    ASSERT_TRUE(back.fromBytes(s.toBytes()));
    EXPECT_EQ(back.fileList(), s.fileList());
    EXPECT_EQ(back.timedRecordings(), s.timedRecordings());
    EXPECT_EQ(back.recordFormat(), s.recordFormat());
    EXPECT_EQ(back.sensitivity(), 777);
    EXPECT_EQ(back.silenceAction(), 1);
    EXPECT_EQ(back.bitRate(), 40);
    // Not stored: these start from their defaults at every run.
    EXPECT_EQ(back.stopAfterSeconds(), 5);
    EXPECT_EQ(back.newFileAfterSeconds(), 5);
    EXPECT_TRUE(back.playLoop());
}

TEST(RecorderSettings, LongSaveDirectoryUsesTheSixteenBitCount)
{
    RecorderSettings s;
    const QString directory = QStringLiteral("/").repeated(1) + QString(298, QLatin1Char('d')) + QStringLiteral("/");
    ASSERT_EQ(directory.size(), 300);
    s.setSaveDirectory(directory);
    const QByteArray bytes = s.toBytes();
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[18]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[19]), 300 & 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[20]), 300 >> 8);
    RecorderSettings back;
    ASSERT_TRUE(back.fromBytes(bytes));
    EXPECT_EQ(back.saveDirectory(), directory);
}

TEST(RecorderSettings, VeryLongTextUsesTheThirtyTwoBitCount)
{
    RecorderSettings s;
    const QString directory(70000, QLatin1Char('x'));
    s.setSaveDirectory(directory);
    const QByteArray bytes = s.toBytes();
    EXPECT_EQ(bytes.mid(18, 7).toHex(), QByteArray("ffffff70110100"));
    RecorderSettings back;
    ASSERT_TRUE(back.fromBytes(bytes));
    EXPECT_EQ(back.saveDirectory(), directory);
}

TEST(RecorderSettings, SixteenBitTextMarkerIsRead)
{
    RecorderSettings s;
    QByteArray bytes = s.toBytes();
    const int countAt = 18;
    const int oldLength = 1 + static_cast<std::uint8_t>(bytes[countAt]);
    // 0xFF 0xFFFE marks UTF-16 text; "é/" follows as two 16-bit characters.
    bytes.replace(countAt, oldLength, QByteArray::fromHex("fffeff02e9002f00"));
    RecorderSettings back;
    ASSERT_TRUE(back.fromBytes(bytes));
    EXPECT_EQ(back.saveDirectory(), QStringLiteral("é/"));
}

TEST(RecorderSettings, SampleRateIndexAndSetters)
{
    RecorderSettings s;
    s.setSampleRate(11025);
    EXPECT_EQ(s.sampleRateIndex(), 1);
    // Only the rate changes; the stored byte rate and alignment stay.
    EXPECT_EQ(s.recordFormat().avgBytesPerSec, 44100u);
    EXPECT_EQ(s.recordFormat().blockAlign, 1);
    s.setSampleRate(48000);
    EXPECT_EQ(s.sampleRateIndex(), 0);
    s.setChannelsIndex(0);
    EXPECT_EQ(s.recordFormat().channels, 1);
    EXPECT_EQ(s.channelsIndex(), 0);
    s.setSilenceAction(-3);
    EXPECT_EQ(s.silenceAction(), 0);
    s.setBitRateIndex(99);
    EXPECT_EQ(s.bitRate(), 160);
}

// Every prefix of a valid file, and files whose counts claim far more than is there,
// load without crashing and keep what they could not read at its default.
TEST(RecorderSettings, TruncatedFilesNeverCrashAndKeepDefaults)
{
    RecorderSettings full;
    full.setFileList({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    full.setTimedRecordings({{0, 1, 2}});
    full.setSensitivity(10);
    const QByteArray bytes = full.toBytes();
    const QByteArray defaults = RecorderSettings().toBytes();
    for (qsizetype size = 0; size < bytes.size(); ++size) {
        RecorderSettings s;
        EXPECT_FALSE(s.fromBytes(bytes.left(size))) << size;
        // Nothing of a file that does not parse whole is taken, not even its first fields.
        EXPECT_EQ(s.toBytes(), defaults) << size;
    }
    RecorderSettings s;
    EXPECT_TRUE(s.fromBytes(bytes));
}

TEST(RecorderSettings, HugeCountsAreRejectedWithoutAllocating)
{
    RecorderSettings base;
    QByteArray bytes = base.toBytes();
    const qsizetype fileCountAt = bytes.size() - 16;
    QByteArray hugeFiles = bytes;
    hugeFiles.replace(fileCountAt, 4, littleEndian32(0xFFFFFFF0u));
    RecorderSettings s;
    EXPECT_FALSE(s.fromBytes(hugeFiles));
    EXPECT_TRUE(s.fileList().isEmpty());

    QByteArray hugeTimed = bytes;
    hugeTimed.replace(bytes.size() - 4, 4, littleEndian32(0x7FFFFFFFu));
    EXPECT_FALSE(s.fromBytes(hugeTimed));
    EXPECT_TRUE(s.timedRecordings().isEmpty());

    QByteArray hugeText = bytes;
    hugeText.replace(18, 1 + static_cast<std::uint8_t>(bytes[18]), QByteArray::fromHex("ffffffffffff7f"));
    EXPECT_FALSE(s.fromBytes(hugeText));
}

// Offsets in the file of a settings record whose save directory is "/m/".
constexpr int kChannelsAt = 2, kRateAt = 4, kBitsAt = 14, kSensitivityAt = 22, kSkipAt = 26, kActionAt = 30,
              kEnabledAt = 34, kBitRateIndexAt = 38, kFileCountAt = 42;

struct FieldCase
{
    const char *name;
    int offset;
    int width;
    std::uint32_t value;
};

class OutOfRangeField : public ::testing::TestWithParam<FieldCase>
{
};

// A field outside its legal values takes its default; the rest of the file is still read.
TEST_P(OutOfRangeField, FallsBackToItsDefault)
{
    const FieldCase &c = GetParam();
    RecorderSettings stored;
    stored.setSaveDirectory(QStringLiteral("/m/"));
    stored.setFileList({QStringLiteral("a.mp3")});
    QByteArray bytes = stored.toBytes();
    bytes.replace(c.offset, c.width, littleEndian32(c.value).left(c.width));

    RecorderSettings s;
    s.setSensitivity(1);
    ASSERT_TRUE(s.fromBytes(bytes));
    const RecorderSettings defaults;
    EXPECT_EQ(s.recordFormat(), defaults.recordFormat());
    EXPECT_EQ(s.sensitivity(), defaults.sensitivity());
    EXPECT_EQ(s.skipSilence(), defaults.skipSilence());
    EXPECT_EQ(s.silenceAction(), defaults.silenceAction());
    EXPECT_EQ(s.silenceEnabled(), defaults.silenceEnabled());
    EXPECT_EQ(s.bitRateIndex(), defaults.bitRateIndex());
    EXPECT_EQ(s.saveDirectory(), QStringLiteral("/m/"));
    EXPECT_EQ(s.fileList(), QStringList{QStringLiteral("a.mp3")});
    // And what is saved back is the corrected record.
    RecorderSettings again;
    ASSERT_TRUE(again.fromBytes(s.toBytes()));
    EXPECT_EQ(again.toBytes(), s.toBytes());
}

INSTANTIATE_TEST_SUITE_P(Fields, OutOfRangeField,
                         ::testing::Values(FieldCase{"channels7", kChannelsAt, 2, 7},
                                           FieldCase{"channels0", kChannelsAt, 2, 0},
                                           FieldCase{"rate3000000000", kRateAt, 4, 3000000000u},
                                           FieldCase{"rateIntMax", kRateAt, 4, 2147483647u},
                                           FieldCase{"rate48000", kRateAt, 4, 48000},
                                           FieldCase{"bits8", kBitsAt, 2, 8},
                                           FieldCase{"sensitivityNegative", kSensitivityAt, 4, 0xA5A5A5A5u},
                                           FieldCase{"sensitivity0", kSensitivityAt, 4, 0},
                                           FieldCase{"sensitivity1001", kSensitivityAt, 4, 1001},
                                           FieldCase{"skipSilence2", kSkipAt, 4, 2},
                                           FieldCase{"silenceAction2", kActionAt, 4, 2},
                                           FieldCase{"silenceEnabledMinus1", kEnabledAt, 4, 0xFFFFFFFFu},
                                           FieldCase{"bitRateIndexIntMax", kBitRateIndexAt, 4, 0x7FFFFFFFu},
                                           FieldCase{"bitRateIndex14", kBitRateIndexAt, 4, 14}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RecorderSettings, ListCountsAboveTheirMaximaDoNotParse)
{
    RecorderSettings stored;
    stored.setSaveDirectory(QStringLiteral("/m/"));
    QByteArray bytes = stored.toBytes();
    // 100,001 empty entries: each takes one count byte, so the bytes could hold them.
    QByteArray manyFiles = bytes;
    manyFiles.replace(kFileCountAt, 4, littleEndian32(RecorderSettings::kMaxFileListEntries + 1));
    manyFiles.insert(kFileCountAt + 4, QByteArray(RecorderSettings::kMaxFileListEntries + 1, '\0'));
    RecorderSettings s;
    EXPECT_FALSE(s.fromBytes(manyFiles));
    EXPECT_TRUE(s.fileList().isEmpty());

    QList<TimedRecording> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.append({0, 3600 * i, 3600 * i + 600});
    stored.setTimedRecordings(eleven);
    EXPECT_FALSE(s.fromBytes(stored.toBytes()));
    eleven.removeLast();
    stored.setTimedRecordings(eleven);
    ASSERT_TRUE(s.fromBytes(stored.toBytes()));
    EXPECT_EQ(s.timedRecordings(), eleven);
}

TEST(RecorderSettings, TimedWindowsOutsideADayAreDropped)
{
    RecorderSettings stored;
    stored.setTimedRecordings({{0, 3600, 4200}, {0, -5, 100}, {0, 100, 100 + 86400}, {0, 90000, 89000}});
    RecorderSettings s;
    ASSERT_TRUE(s.fromBytes(stored.toBytes()));
    EXPECT_EQ(s.timedRecordings(), (QList<TimedRecording>{{0, 3600, 4200}, {0, 90000, 89000}}));
}

TEST(RecorderSettings, SaveReplacesTheFileAndLoadReadsIt)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("Data/Record Setup.sys"));
    RecorderSettings missing;
    EXPECT_FALSE(missing.load(path));
    EXPECT_EQ(missing.bitRateIndex(), 13);

    RecorderSettings s;
    s.setFileList({QStringLiteral("/x/y.mp3")});
    ASSERT_TRUE(s.save(path));
    s.setFileList({QStringLiteral("/x/z.mp3")});
    ASSERT_TRUE(s.save(path));
    RecorderSettings back;
    ASSERT_TRUE(back.load(path));
    EXPECT_EQ(back.fileList(), QStringList{QStringLiteral("/x/z.mp3")});
    // Written through a temporary file: nothing else is left in the folder.
    EXPECT_EQ(QDir(folder.file(QStringLiteral("Data"))).entryList(QDir::Files).size(), 1);
}

// A 200 MB file (sparse here) is far beyond any real settings file: it is not read at all, and
// a named pipe in its place is not waited on.
TEST(RecorderSettings, HugeFileOrPipeLoadsNothing)
{
    test::TempFolder folder;
    const QString huge = folder.file(QStringLiteral("huge.sys"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(RecorderSettings().toBytes().left(42)), 42);
        ASSERT_TRUE(file.resize(200LL * 1024 * 1024));
    }
    RecorderSettings s;
    EXPECT_FALSE(s.load(huge));
    EXPECT_EQ(s.toBytes(), RecorderSettings().toBytes());
    const QString fifo = folder.file(QStringLiteral("fifo.sys"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(s.load(fifo));
}

TEST(RecorderSettings, SaveIntoAnUnwritableFolderFailsAndKeepsTheOldFile)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("Record Setup.sys"));
    RecorderSettings s;
    ASSERT_TRUE(s.save(path));
    const QByteArray before = test::readAll(path);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
    s.setSensitivity(3);
    const bool saved = s.save(path);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (saved)
        GTEST_SKIP() << "running with permission to write anywhere";
    EXPECT_EQ(test::readAll(path), before);
}

TEST(ValueFiles, FolderValueRoundTripsWithItsTerminator)
{
    ASSERT_TRUE(writeFolderValue(QStringLiteral("OpenDir"), QStringLiteral("/home/u/Müsic/")));
    const std::optional<QByteArray> raw = readValue(QStringLiteral("OpenDir"));
    ASSERT_TRUE(raw.has_value());
    EXPECT_TRUE(raw->endsWith('\0'));
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir")), QStringLiteral("/home/u/Müsic/"));

    const QByteArray file = test::readAll(dataFolder() + QStringLiteral("OpenDir.dat"));
    EXPECT_EQ(file.left(4), littleEndian32(static_cast<std::uint32_t>(raw->size())));
}

TEST(ValueFiles, MissingOrDamagedFilesReadAsNothing)
{
    EXPECT_FALSE(readValue(QStringLiteral("NoSuchKey")).has_value());
    QDir().mkpath(dataFolder());
    ASSERT_TRUE(test::writeAll(dataFolder() + QStringLiteral("Short.dat"), QByteArray::fromHex("0102")));
    EXPECT_FALSE(readValue(QStringLiteral("Short")).has_value());
    ASSERT_TRUE(test::writeAll(dataFolder() + QStringLiteral("Liar.dat"), littleEndian32(1u << 30) + "abc"));
    EXPECT_FALSE(readValue(QStringLiteral("Liar")).has_value());
    ASSERT_TRUE(writeValue(QStringLiteral("Empty"), QByteArray()));
    EXPECT_EQ(readValue(QStringLiteral("Empty")), QByteArray());
}

} // namespace
} // namespace sonavell
