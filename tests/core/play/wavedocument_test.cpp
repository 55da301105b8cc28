#include "core/play/peakfile.h"
#include "core/play/wavedocument.h"

#include "playtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

namespace sonavell::test {
namespace {

constexpr qsizetype kSpan = peakfile::kGroupBytes * peakfile::kGroupsPerEntry; // WAV bytes per entry

// The 40 bytes the view reads, fields where a canonical header has them, then `payload`.
QByteArray viewFile(int channels, int rate, int bits, const QByteArray &payload)
{
    QByteArray bytes(WaveDocument::kHeaderBytes, '\0');
    std::memcpy(bytes.data(), "RIFF", 4);
    std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
    const auto put16 = [&](int at, int value) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    put16(20, 1);
    put16(22, channels);
    put16(24, rate & 0xFFFF);
    put16(26, rate >> 16);
    put16(34, bits);
    return bytes + payload;
}

// A payload whose every 128th group holds the words (left[k], right[k]).
QByteArray entryPayload(const std::vector<std::int16_t> &left, const std::vector<std::int16_t> &right)
{
    QByteArray payload(static_cast<qsizetype>(left.size()) * kSpan, '\x11');
    for (std::size_t k = 0; k < left.size(); ++k) {
        char *group = payload.data() + static_cast<qsizetype>(k + 1) * kSpan - 4;
        std::memcpy(group, &left[k], 2);
        std::memcpy(group + 2, &right[k], 2);
    }
    return payload;
}

QString writeViewFile(const TempFolder &folder, const QByteArray &bytes)
{
    const QString path = folder.file(QStringLiteral("view.wav"));
    EXPECT_TRUE(writeAll(path, bytes));
    return path;
}

// ---- Peak file -------------------------------------------------------------------------------

TEST(PeakFile, PathReplacesTheLastThreeCharacters)
{
    EXPECT_EQ(peakfile::pathFor(QStringLiteral("/tmp/Take.WAV")), QStringLiteral("/tmp/Take.mmp"));
    EXPECT_EQ(peakfile::pathFor(QStringLiteral("/tmp/x.wave")), QStringLiteral("/tmp/x.wmmp"));
}

struct WriterCase
{
    int entries;
    std::vector<int> written; // which entries reach the file
};

void PrintTo(const WriterCase &c, std::ostream *os)
{
    *os << c.entries << " entries";
}

class PeakWriterBuffers : public testing::TestWithParam<WriterCase>
{
};

// Every buffer leaves out its last entry: with room for four, entries 3 and 7 never arrive.
TEST_P(PeakWriterBuffers, DropTheirLastEntry)
{
    QByteArray out;
    QBuffer device(&out);
    device.open(QIODevice::WriteOnly);
    PeakWriter writer(device, 16);
    for (int i = 0; i < GetParam().entries; ++i) {
        const std::uint8_t entry[4] = {static_cast<std::uint8_t>(i), 0, 0, 0};
        writer.add(entry);
    }
    ASSERT_TRUE(writer.finish());
    QByteArray expected;
    for (int i : GetParam().written)
        expected += char(i) + QByteArray(3, '\0');
    EXPECT_EQ(out.toHex(), expected.toHex());
}

INSTANTIATE_TEST_SUITE_P(Cases, PeakWriterBuffers,
                         testing::Values(WriterCase{0, {}}, WriterCase{1, {}}, WriterCase{2, {0}},
                                         WriterCase{4, {0, 1, 2}}, WriterCase{5, {0, 1, 2}},
                                         WriterCase{10, {0, 1, 2, 4, 5, 6, 8}}),
                         [](const auto &info) { return std::to_string(info.param.entries) + "_entries"; });

struct EntryCase
{
    const char *name;
    int channels;
    qsizetype dataBytes;
};

void PrintTo(const EntryCase &c, std::ostream *os)
{
    *os << c.name;
}

class PeakEntries : public testing::TestWithParam<EntryCase>
{
};

// A WAV written by WaveFile: a "fact" chunk puts its data at byte 56, and the peaks count from
// there, over the data alone.
TEST_P(PeakEntries, AreEvery128thGroupOfTheData)
{
    const EntryCase &c = GetParam();
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    QByteArray data(c.dataBytes, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, c.channels), data));
    ASSERT_EQ(readAll(path).mid(56, data.size()), data);

    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(document.dataBytes(), data.size());
    const QByteArray peaks = readAll(document.peakPath());
    const qsizetype entries = data.size() / kSpan;
    ASSERT_GT(entries, 1);
    ASSERT_EQ(peaks.size(), (entries - 1) * 4);
    for (qsizetype k = 0; k + 1 < entries; ++k) {
        const QByteArray group = data.mid((k + 1) * kSpan - 4, 4);
        const QByteArray expected = c.channels == 2 ? group : group.left(2) + group.left(2);
        ASSERT_EQ(peaks.mid(k * 4, 4).toHex(), expected.toHex()) << "entry " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PeakEntries,
                         testing::Values(EntryCase{"Stereo", 2, 300000}, EntryCase{"Mono", 1, 123457}),
                         [](const testing::TestParamInfo<EntryCase> &info) { return std::string(info.param.name); });

// 64,002 entries: the first full buffer loses entry 63,999, the last partial one its last entry.
TEST(PeakFile, FullWriterBufferLosesItsLastEntry)
{
    TempFolder folder;
    constexpr qsizetype kEntries = 64002;
    QByteArray payload(kEntries * kSpan, '\0');
    for (qsizetype k = 0; k < kEntries; ++k) {
        const auto value = static_cast<std::uint32_t>(k);
        std::memcpy(payload.data() + (k + 1) * kSpan - 4, &value, 4);
    }
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, payload));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    const QByteArray peaks = readAll(document.peakPath());
    ASSERT_EQ(peaks.size(), (63999 + 1) * 4);
    std::uint32_t value = 0;
    std::memcpy(&value, peaks.constData() + 63998 * 4, 4);
    EXPECT_EQ(value, 63998u);
    std::memcpy(&value, peaks.constData() + 63999 * 4, 4);
    EXPECT_EQ(value, 64000u);
}

// A peak file is the WAV's only when it is newer and has the size the data implies: 10 spans
// give 10 entries, of which the writer keeps 9.
TEST(PeakFile, ReusedOnlyWhenNewerThanTheWaveAndOfItsSize)
{
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(10 * kSpan, '\x05')));
    const QString peakPath = peakfile::pathFor(path);
    const QDateTime waveTime = QFileInfo(path).lastModified();
    auto plant = [&](const QByteArray &bytes, int seconds) {
        ASSERT_TRUE(writeAll(peakPath, bytes));
        QFile peak(peakPath);
        ASSERT_TRUE(peak.open(QIODevice::ReadWrite));
        ASSERT_TRUE(peak.setFileTime(waveTime.addSecs(seconds), QFileDevice::FileModificationTime));
    };
    EXPECT_EQ(peakfile::expectedSize(10 * kSpan), 9 * 4);

    const QByteArray planted(9 * 4, '\x7F');
    plant(planted, 10);
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(readAll(peakPath), planted);

    plant(QByteArray(5000, '\x7F'), 10); // newer, but 1,250 entries the WAV could not have made
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(readAll(peakPath).size(), 9 * 4);
    EXPECT_EQ(document.zoom(), 128);

    plant(planted, -10);
    ASSERT_TRUE(document.load(path));
    EXPECT_NE(readAll(peakPath), planted);
}

// A sparse 20 GB peak file, newer than its 0.3 s WAV, is neither trusted nor read.
TEST(PeakFile, HugeNewerPeakFileIsRebuilt)
{
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(100 * kSpan, '\x05')));
    const QString peakPath = peakfile::pathFor(path);
    {
        QFile peak(peakPath);
        ASSERT_TRUE(peak.open(QIODevice::WriteOnly));
        if (!peak.resize(20'000'000'000LL))
            GTEST_SKIP() << "no sparse files here";
        ASSERT_TRUE(peak.setFileTime(QFileInfo(path).lastModified().addSecs(10), QFileDevice::FileModificationTime));
    }
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(QFileInfo(peakPath).size(), peakfile::expectedSize(100 * kSpan));
    EXPECT_EQ(document.zoom(), 128);
    EXPECT_TRUE(document.updateCaches(200));
}

// ---- Zoom ------------------------------------------------------------------------------------

TEST(WaveDocumentZoom, InitialZoomPutsTheFileInFewerThan512Columns)
{
    EXPECT_EQ(WaveDocument::initialZoom(0), 128);
    EXPECT_EQ(WaveDocument::initialZoom(4095), 128);
    EXPECT_EQ(WaveDocument::initialZoom(4096), 512);
    EXPECT_EQ(WaveDocument::initialZoom(6144), 512);
    EXPECT_EQ(WaveDocument::initialZoom(8192), 1024);
    EXPECT_EQ(WaveDocument::initialZoom(20'000'000'000LL), WaveDocument::kMaxZoom);
    EXPECT_EQ(WaveDocument::initialZoom(std::numeric_limits<qint64>::max()), WaveDocument::kMaxZoom);
    // 60 minutes of 16-bit stereo at 44,100 Hz: 1,240,312 entries.
    const qint64 entries = 44100LL * 3600 / 128;
    const int zoom = WaveDocument::initialZoom(entries * 4);
    EXPECT_EQ(zoom, 524288);
    EXPECT_LT(entries * 128 / zoom, 512);
}

TEST(WaveDocumentZoom, SmallPeakFileKeepsZoom128BothWays)
{
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(1000 * kSpan, '\0')));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    ASSERT_LT(QFileInfo(document.peakPath()).size(), 4096);
    EXPECT_EQ(document.zoom(), 128);
    EXPECT_FALSE(document.zoomIn());
    EXPECT_EQ(document.zoom(), 128);
    EXPECT_FALSE(document.zoomOut());
    EXPECT_EQ(document.zoom(), 128);
}

TEST(WaveDocumentZoom, InStopsAt512AndOutAtTheLoadedZoom)
{
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(9000 * kSpan, '\0')));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(document.zoom(), 4096);
    EXPECT_EQ(document.maxZoom(), 4096);
    std::vector<int> seen;
    while (document.zoomIn())
        seen.push_back(document.zoom());
    EXPECT_EQ(seen, (std::vector<int>{2048, 1024, 512}));
    seen.clear();
    while (document.zoomOut())
        seen.push_back(document.zoom());
    EXPECT_EQ(seen, (std::vector<int>{1024, 2048, 4096}));
}

// ---- Positions and selection -----------------------------------------------------------------

class WaveDocumentSelection : public testing::Test
{
protected:
    void SetUp() override
    {
        // 16-bit stereo, 2,000 entries: 256,000 frames, zoom 512, 500 columns.
        path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(2000 * kSpan, '\0')));
        ASSERT_TRUE(document.load(path));
        ASSERT_EQ(document.zoom(), 512);
        ASSERT_EQ(document.totalFrames(), 256000);
    }

    std::pair<qint64, qint64> selectionBytes() const
    {
        qint64 start = 0;
        qint64 end = 0;
        document.getSelectionBytes(&start, &end);
        return {start, end};
    }

    TempFolder folder;
    QString path;
    WaveDocument document;
};

TEST_F(WaveDocumentSelection, NoSelectionAfterLoadGivesANegativeStart)
{
    EXPECT_EQ(document.anchorFrame(), -1);
    EXPECT_LT(selectionBytes().first, 0);
    int left = 0;
    int right = 0;
    EXPECT_FALSE(document.selectionColumns(400, &left, &right));
}

TEST_F(WaveDocumentSelection, ClickWithoutDragIsAnEmptySelectionAtTheCaret)
{
    document.scrollTo(10);
    document.press(30, WaveDocument::Edge::None);
    document.release();
    EXPECT_EQ(document.caretFrame(), 40 * 512);
    EXPECT_EQ(selectionBytes(), std::make_pair(qint64(40 * 512 * 4), qint64(40 * 512 * 4)));
    int left = 0;
    int right = 0;
    EXPECT_FALSE(document.selectionColumns(400, &left, &right));
}

TEST_F(WaveDocumentSelection, DraggingLeftGivesTheSameBytesAsDraggingRight)
{
    document.press(50, WaveDocument::Edge::None);
    document.dragTo(120);
    document.release();
    const auto rightwards = selectionBytes();
    document.press(120, WaveDocument::Edge::None);
    document.dragTo(50);
    document.release();
    EXPECT_EQ(selectionBytes(), rightwards);
    EXPECT_EQ(rightwards, std::make_pair(qint64(50 * 512 * 4), qint64(120 * 512 * 4)));
    EXPECT_EQ(document.caretFrame(), 50 * 512);
}

TEST_F(WaveDocumentSelection, FramePositionsClampToTheFile)
{
    EXPECT_EQ(document.frameAt(-20), 0);
    EXPECT_EQ(document.frameAt(499), 499 * 512);
    EXPECT_EQ(document.frameAt(500), 256000);
    EXPECT_EQ(document.frameAt(4000), 256000);
    document.scrollTo(-5);
    EXPECT_EQ(document.firstColumn(), 0);
    document.press(-3, WaveDocument::Edge::None);
    document.dragTo(100000);
    EXPECT_EQ(selectionBytes(), std::make_pair(qint64(0), qint64(256000 * 4)));
}

TEST_F(WaveDocumentSelection, ScrollRangeReaches60ColumnsPastTheEnd)
{
    int min = -1;
    int range = -1;
    document.getScrollRange(300, &min, &range);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(range, 500 - 300 + 60);
    document.getScrollRange(800, &min, &range);
    EXPECT_EQ(range, 60);
}

TEST_F(WaveDocumentSelection, ColumnOfAFrameIsShownOnlyInsideTheView)
{
    document.scrollTo(100);
    int x = 0;
    EXPECT_TRUE(document.columnOf(150 * 512 + 3, 200, &x));
    EXPECT_EQ(x, 50);
    // The leftmost column is on screen too: a caret at the start of the view must show.
    EXPECT_TRUE(document.columnOf(100 * 512, 200, &x));
    EXPECT_EQ(x, 0);
    EXPECT_FALSE(document.columnOf(99 * 512 + 511, 200, &x));
    EXPECT_TRUE(document.columnOf(101 * 512, 200, &x));
    EXPECT_TRUE(document.columnOf(298 * 512, 200, &x));
    EXPECT_FALSE(document.columnOf(299 * 512, 200, &x));
    EXPECT_FALSE(document.columnOf(-1, 200, &x));
}

TEST_F(WaveDocumentSelection, SelectionColumnsAreClippedToTheView)
{
    document.press(10, WaveDocument::Edge::None);
    document.dragTo(300);
    int left = 0;
    int right = 0;
    ASSERT_TRUE(document.selectionColumns(400, &left, &right));
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(10, 300));
    document.scrollTo(100);
    ASSERT_TRUE(document.selectionColumns(150, &left, &right));
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(0, 150));
    document.scrollTo(301);
    EXPECT_FALSE(document.selectionColumns(150, &left, &right));
}

TEST_F(WaveDocumentSelection, EdgeDragMovesTheGrabbedEnd)
{
    document.press(200, WaveDocument::Edge::None);
    document.dragTo(100);
    document.release(); // caret 100 (left), anchor 200 (right)
    EXPECT_EQ(document.edgeAt(150, 400), WaveDocument::Edge::None);
    EXPECT_EQ(document.edgeAt(203, 400), WaveDocument::Edge::Right);
    EXPECT_EQ(document.edgeAt(97, 400), WaveDocument::Edge::Left);

    document.press(202, WaveDocument::Edge::Right);
    EXPECT_EQ(document.edgeAt(202, 400), WaveDocument::Edge::None); // not while dragging
    document.dragTo(250);
    document.release();
    EXPECT_EQ(document.caretFrame(), 100 * 512);
    EXPECT_EQ(document.anchorFrame(), 250 * 512);

    document.press(99, WaveDocument::Edge::Left);
    document.dragTo(20);
    document.release();
    EXPECT_EQ(document.caretFrame(), 20 * 512);
    EXPECT_EQ(document.anchorFrame(), 250 * 512);
}

TEST_F(WaveDocumentSelection, LoadingAgainResetsScrollCaretAndSelection)
{
    document.scrollTo(50);
    document.press(10, WaveDocument::Edge::None);
    document.dragTo(20);
    document.release();
    ASSERT_TRUE(document.load(path));
    EXPECT_EQ(document.firstColumn(), 0);
    EXPECT_EQ(document.caretFrame(), 0);
    EXPECT_EQ(document.anchorFrame(), -1);
    EXPECT_FALSE(document.load(QString()));
    EXPECT_FALSE(document.isLoaded());
    EXPECT_EQ(document.anchorFrame(), -1);
}

// ---- Ruler -----------------------------------------------------------------------------------

struct LabelCase
{
    int rate;
    int channels;
    int column;
    const char *label;
};

void PrintTo(const LabelCase &c, std::ostream *os)
{
    *os << c.rate << " Hz, column " << c.column;
}

class RulerLabel : public testing::TestWithParam<LabelCase>
{
};

TEST_P(RulerLabel, IsMinutesAndSeconds)
{
    const LabelCase &c = GetParam();
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(c.channels, c.rate, 16, QByteArray(100 * kSpan, '\0')));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    ASSERT_EQ(document.zoom(), 128);
    EXPECT_EQ(document.rulerLabel(c.column), QString::fromLatin1(c.label));
}

INSTANTIATE_TEST_SUITE_P(Cases, RulerLabel,
                         testing::Values(LabelCase{44100, 2, 0, "0:0.00"}, LabelCase{16000, 2, 8125, "1:5.00"},
                                         LabelCase{16000, 1, 8125, "1:5.00"}, LabelCase{44100, 2, 80, "0:0.23"},
                                         LabelCase{8000, 2, 11250, "3:0.00"}, LabelCase{8000, 2, 11251, "3:0.02"}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate) + "_column" +
                                    std::to_string(info.param.column);
                         });

// ---- Point caches ----------------------------------------------------------------------------

int yOf(const WaveBand &band, std::int16_t value)
{
    const auto offset = static_cast<std::uint16_t>(value + 32767);
    return band.top + static_cast<int>(qint64(offset) * band.height / 65535);
}

TEST(WaveDocumentCaches, StereoColumnsSpanTheirSmallestAndLargestPeak)
{
    TempFolder folder;
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
    for (int k = 0; k < 1100; ++k) {
        left.push_back(static_cast<std::int16_t>((k * 997) % 60000 - 30000));
        right.push_back(static_cast<std::int16_t>(-(k * 31) % 32767));
    }
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, entryPayload(left, right)));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    ASSERT_EQ(document.zoom(), 512);
    constexpr int kHeight = 230;
    ASSERT_TRUE(document.updateCaches(kHeight));
    const std::vector<WaveBand> bands = document.bands(kHeight);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0], (WaveBand{30, 99}));
    EXPECT_EQ(bands[1], (WaveBand{131, 99}));

    // 1,099 entries in the file, four per column: 274 whole columns, the rest left out.
    ASSERT_EQ(document.cacheCount(), 2 * 274);
    for (int column = 0; column < 274; ++column) {
        int lowL = INT_MAX, highL = INT_MIN, lowR = INT_MAX, highR = INT_MIN;
        for (int k = column * 4; k < column * 4 + 4; ++k) {
            lowL = std::min(lowL, yOf(bands[0], left[k]));
            highL = std::max(highL, yOf(bands[0], left[k]));
            lowR = std::min(lowR, yOf(bands[1], right[k]));
            highR = std::max(highR, yOf(bands[1], right[k]));
        }
        ASSERT_EQ(document.cacheA()[2 * column], QPoint(column, highL));
        ASSERT_EQ(document.cacheA()[2 * column + 1], QPoint(column, lowL));
        ASSERT_EQ(document.cacheB()[2 * column], QPoint(column, highR));
        ASSERT_EQ(document.cacheB()[2 * column + 1], QPoint(column, lowR));
    }
}

TEST(WaveDocumentCaches, MonoFillsBothCachesFromOneBand)
{
    TempFolder folder;
    std::vector<std::int16_t> words(2100);
    for (std::size_t k = 0; k < words.size(); ++k)
        words[k] = static_cast<std::int16_t>(k * 40);
    // Mono entries repeat the group's first word, so the right words never matter.
    const QString path = writeViewFile(folder, viewFile(1, 22050, 16, entryPayload(words, std::vector<std::int16_t>(2100, -32768))));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    ASSERT_EQ(document.zoom(), 1024);
    ASSERT_TRUE(document.zoomIn());
    ASSERT_TRUE(document.updateCaches(130));
    const WaveBand band = document.bands(130).at(0);
    EXPECT_EQ(band, (WaveBand{30, 100}));
    // Each mono entry is two values, so a column of zoom 512 covers two entries.
    ASSERT_EQ(document.cacheCount(), 2 * 1049);
    EXPECT_EQ(document.cacheA(), document.cacheB());
    EXPECT_EQ(document.cacheA()[20], QPoint(10, yOf(band, words[21])));
    EXPECT_EQ(document.cacheA()[21], QPoint(10, yOf(band, words[20])));
}

TEST(WaveDocumentCaches, EightBitValuesAreTheBytes)
{
    TempFolder folder;
    QByteArray payload(1100 * kSpan, '\0');
    for (int k = 0; k < 1100; ++k) {
        char *group = payload.data() + (k + 1) * kSpan - 4;
        group[0] = static_cast<char>(10);  // left
        group[1] = static_cast<char>(250); // right
        group[2] = static_cast<char>(20);  // left
        group[3] = static_cast<char>(k % 200); // right
    }
    const QString path = writeViewFile(folder, viewFile(2, 8000, 8, payload));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    ASSERT_TRUE(document.updateCaches(540));
    const std::vector<WaveBand> bands = document.bands(540);
    const auto y = [](const WaveBand &band, int value) { return band.top + value * band.height / 255; };
    // zoom 512: four values per band per column, two entries.
    EXPECT_EQ(document.cacheA()[2], QPoint(1, y(bands[0], 20)));
    EXPECT_EQ(document.cacheA()[3], QPoint(1, y(bands[0], 10)));
    EXPECT_EQ(document.cacheB()[2], QPoint(1, y(bands[1], 250)));
    EXPECT_EQ(document.cacheB()[3], QPoint(1, y(bands[1], 2)));
}

// The caches as the peak file describes them, value by value: values feed the bands in turn,
// each band keeps its column's smallest and largest y and closes the column after zoom / 128
// values; a partial last column never shows.
std::pair<std::vector<QPoint>, std::vector<QPoint>>
referenceCaches(const QByteArray &peaks, int bits, int zoom, const std::vector<WaveBand> &bands)
{
    const bool wide = bits == 16;
    const qint64 full = wide ? 65535 : 255;
    const qsizetype values = peaks.size() / (wide ? 2 : 1);
    const auto *bytes = reinterpret_cast<const unsigned char *>(peaks.constData());
    const int perColumn = zoom / 128;
    std::vector<std::vector<QPoint>> caches(bands.size());
    std::vector<int> low(bands.size(), INT_MAX);
    std::vector<int> high(bands.size(), INT_MIN);
    std::vector<int> fed(bands.size(), 0);
    std::vector<int> column(bands.size(), 0);
    for (qsizetype i = 0; i < values; ++i) {
        const std::size_t b = static_cast<std::size_t>(i) % bands.size();
        int u = bytes[i];
        if (wide) {
            const auto word = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            u = static_cast<std::uint16_t>(word + 32767);
        }
        const int y = bands[b].top + static_cast<int>(u * qint64(bands[b].height) / full);
        low[b] = std::min(low[b], y);
        high[b] = std::max(high[b], y);
        if (++fed[b] == perColumn) {
            caches[b].emplace_back(column[b], high[b]);
            caches[b].emplace_back(column[b], low[b]);
            ++column[b];
            fed[b] = 0;
            low[b] = INT_MAX;
            high[b] = INT_MIN;
        }
    }
    if (bands.size() == 1)
        return {caches[0], caches[0]};
    return {caches[0], caches[1]};
}

struct FormatCase
{
    const char *name;
    int channels;
    int bits;
    int entries; // groups of 128 in the WAV
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.name;
}

class CachesAtEveryZoom : public testing::TestWithParam<FormatCase>
{
};

// Noise with both extremes of a word in it: -32768 maps to the top of the band, not the bottom.
TEST_P(CachesAtEveryZoom, MatchTheValueByValueReading)
{
    const FormatCase &c = GetParam();
    TempFolder folder;
    QByteArray payload(qsizetype(c.entries) * kSpan, '\0');
    std::mt19937 random(static_cast<unsigned>(c.entries));
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(random() & 0xFF);
    for (const qsizetype at : {qsizetype(3 * kSpan - 4), qsizetype(40 * kSpan - 2)}) {
        payload[at] = '\x00';
        payload[at + 1] = '\x80';
    }
    payload[qsizetype(77 * kSpan - 4)] = '\xFF';
    payload[qsizetype(77 * kSpan - 3)] = '\x7F';
    const QString path = writeViewFile(folder, viewFile(c.channels, 44100, c.bits, payload));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    const QByteArray peaks = readAll(document.peakPath());
    ASSERT_GE(document.maxZoom(), 4096) << "too few zoom steps to compare";

    // Each zoom at a few view heights; the last ones leave the bands no room at all.
    const auto check = [&] {
        for (const int height : {400, 57, 31, 20}) {
            document.updateCaches(height);
            const auto [a, b] = referenceCaches(peaks, c.bits, document.zoom(), document.bands(height));
            ASSERT_FALSE(a.empty());
            ASSERT_EQ(document.cacheCount(), static_cast<int>(a.size()))
                << "zoom " << document.zoom() << ", height " << height;
            ASSERT_EQ(document.cacheA(), a) << "zoom " << document.zoom() << ", height " << height;
            ASSERT_EQ(document.cacheB(), b) << "zoom " << document.zoom() << ", height " << height;
        }
    };
    ASSERT_NO_FATAL_FAILURE(check());
    while (document.zoomIn())
        ASSERT_NO_FATAL_FAILURE(check());
    EXPECT_EQ(document.zoom(), 512);
    while (document.zoomOut())
        ASSERT_NO_FATAL_FAILURE(check());
    EXPECT_EQ(document.zoom(), document.maxZoom());
}

// Entry counts that leave a partial column at some zooms and not at others.
INSTANTIATE_TEST_SUITE_P(Formats, CachesAtEveryZoom,
                         testing::Values(FormatCase{"Stereo16", 2, 16, 9001},
                                         FormatCase{"Mono16", 1, 16, 9150}, FormatCase{"Stereo8", 2, 8, 9283},
                                         FormatCase{"Mono8", 1, 8, 8200}),
                         [](const testing::TestParamInfo<FormatCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(WaveDocumentCaches, RebuiltOnlyWhenZoomOrLayoutChanges)
{
    TempFolder folder;
    const QString path = writeViewFile(folder, viewFile(2, 44100, 16, QByteArray(9000 * kSpan, '\0')));
    WaveDocument document;
    ASSERT_TRUE(document.load(path));
    EXPECT_TRUE(document.updateCaches(200));
    EXPECT_EQ(document.cacheCount(), 2 * (8999 / 32));
    EXPECT_FALSE(document.updateCaches(200));
    ASSERT_TRUE(document.zoomIn());
    EXPECT_TRUE(document.updateCaches(200));
    EXPECT_EQ(document.cacheCount(), 2 * (8999 / 16));
    EXPECT_FALSE(document.updateCaches(200));
    EXPECT_TRUE(document.updateCaches(300));
    document.scrollTo(100000);
    document.updateCaches(300);
    EXPECT_EQ(document.firstColumn(), document.cacheCount());
}

TEST(WaveDocumentCaches, OddFilesLoadWithoutAWaveform)
{
    TempFolder folder;
    WaveDocument document;
    const QString shortFile = writeViewFile(folder, QByteArray("RIFF"));
    ASSERT_TRUE(document.load(shortFile));
    EXPECT_EQ(document.dataBytes(), 0);
    EXPECT_EQ(document.totalFrames(), 0);
    EXPECT_EQ(document.frameAt(100), 0);
    EXPECT_FALSE(document.updateCaches(200));
    EXPECT_EQ(document.rulerLabel(80), QStringLiteral("0:0.00"));

    const QString wide = writeViewFile(folder, viewFile(2, 44100, 24, QByteArray(50 * kSpan, '\x40')));
    ASSERT_TRUE(document.load(wide));
    EXPECT_FALSE(document.isDrawable());
    EXPECT_FALSE(document.updateCaches(200));
    EXPECT_EQ(document.cacheCount(), 0);
    EXPECT_EQ(document.frameBytes(), 6);
}

} // namespace
} // namespace sonavell::test
