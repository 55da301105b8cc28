#include "gui/edit/mmwaveeditxctrl.h"

#include "../core/play/playtesting.h"
#include "core/process/wavefile.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

namespace sonavell::test {
namespace {

// Client size of the views under test: the picture below the 4-row top strip is 200 rows,
// the ruler takes its first 30.
constexpr int kWidth = 600;
constexpr int kHeight = 204;
// Four seconds of 44100 Hz: 16-bit stereo loads at zoom 512, four peak entries per column, 344 columns.
constexpr int kFrames = 176400;
constexpr int kZoom = 512;
constexpr QRgb kGreen = 0x00C832;
constexpr QRgb kGrey = 0x969696;
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kBlack = 0x000000;

QRgb rgb(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

// Frames alternate between +value and -value every 128 frames, so that neighbouring peak
// entries (every 128th frame of 16-bit stereo) take both extremes.
QByteArray squarePcm(int channels, int frames, std::int16_t value)
{
    QByteArray pcm(static_cast<qsizetype>(frames) * channels * 2, '\0');
    for (int f = 0; f < frames; ++f) {
        const std::int16_t sample = (f / 128) % 2 == 0 ? value : static_cast<std::int16_t>(-value);
        for (int c = 0; c < channels; ++c)
            std::memcpy(pcm.data() + (static_cast<qsizetype>(f) * channels + c) * 2, &sample, 2);
    }
    return pcm;
}

QString writeTestWave(const TempFolder &folder, const QString &name, int channels, int bits,
                      const QByteArray &data)
{
    const QString path = folder.file(name);
    EXPECT_TRUE(writeWave(path, pcmFormat(44100, channels, bits), data));
    return path;
}

void sendMouse(QWidget &widget, QEvent::Type type, int x, Qt::MouseButtons buttons)
{
    const QPointF at(x, 100);
    QMouseEvent event(type, at, widget.mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

void drag(QWidget &widget, int from, int to)
{
    sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseMove, to, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

class WaveViewTest : public ::testing::Test
{
protected:
    WaveViewTest() { m_view.resize(kWidth, kHeight); }

    QImage shot() { return m_view.grab().toImage(); }

    void loadStereoSquare()
    {
        ASSERT_TRUE(m_view.load(
            writeTestWave(m_folder, QStringLiteral("square.wav"), 2, 16, squarePcm(2, kFrames, 32767))));
        ASSERT_EQ(m_view.document().zoom(), kZoom);
    }

    TempFolder m_folder;
    MMWaveEditXCtrl m_view;
};

// ---- Drawing -------------------------------------------------------------------------------

struct TraceCase
{
    const char *name;
    int channels;
    int bits;
    bool fullScale;         // else silence
    std::vector<int> green; // widget rows that carry the trace at column 100
    std::vector<int> grey;  // level lines
    std::vector<int> white; // channel separator
    std::vector<int> black;
};

void PrintTo(const TraceCase &c, std::ostream *os)
{
    *os << c.name;
}

class WaveViewTrace : public WaveViewTest, public ::testing::WithParamInterface<TraceCase>
{
};

// Band rows below follow from the picture's 200 rows: mono, one band 30..199; stereo, bands
// of 84 rows at 30 and 116 with the separator at 115; plus the 4-row strip on top.
TEST_P(WaveViewTrace, DrawsItsColumnsFromThePeaks)
{
    const TraceCase &c = GetParam();
    const int frames = kFrames;
    QByteArray data;
    if (c.fullScale)
        data = squarePcm(c.channels, frames, 32767);
    else
        data = QByteArray(static_cast<qsizetype>(frames) * c.channels * (c.bits / 8),
                          c.bits == 8 ? '\x80' : '\0');
    ASSERT_TRUE(m_view.load(writeTestWave(m_folder, QStringLiteral("trace.wav"), c.channels, c.bits, data)));
    const QImage image = shot();
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    for (int y : c.green)
        EXPECT_EQ(rgb(image, 100, y), kGreen) << "row " << y;
    for (int y : c.grey) {
        EXPECT_EQ(rgb(image, 100, y), kGrey) << "row " << y;
        EXPECT_EQ(rgb(image, kWidth - 5, y), kGrey) << "past the trace, row " << y;
    }
    for (int y : c.white)
        EXPECT_EQ(rgb(image, 100, y), kWhite) << "row " << y;
    for (int y : c.black)
        EXPECT_EQ(rgb(image, 100, y), kBlack) << "row " << y;
}

std::vector<int> rows(int from, int to)
{
    std::vector<int> all;
    for (int y = from; y <= to; ++y)
        all.push_back(y);
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveViewTrace,
    ::testing::Values(
        // -32767 lies on the band's top row, +32767 on its last: the column is filled top to bottom.
        TraceCase{"FullScaleStereoFillsBothBands",
                  2,
                  16,
                  true,
                  [] {
                      std::vector<int> all = rows(34, 117);
                      const std::vector<int> right = rows(120, 203);
                      all.insert(all.end(), right.begin(), right.end());
                      return all;
                  }(),
                  {},
                  {119},
                  {}},
        // Silence is the centre line of each band; the level lines mark 30 % either side.
        TraceCase{
            "SilentStereoDrawsCentreLines", 2, 16, false, {75, 161}, {63, 88}, {119}, {40, 100, 140, 190}},
        TraceCase{"SilentMonoDrawsOneCentreLine", 1, 16, false, {118}, {}, {}, {40, 60, 100, 119, 160, 200}},
        TraceCase{
            "SilentEightBitStereoUsesByteValues", 2, 8, false, {76, 162}, {63, 88}, {119}, {40, 100, 140}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(WaveViewTest, EmptyViewIsBlack)
{
    m_view.load(QString());
    const QImage image = shot();
    for (int y : {0, 10, 34, 100, 203})
        for (int x : {0, 80, 300, 599})
            EXPECT_EQ(rgb(image, x, y), kBlack);
}

TEST_F(WaveViewTest, RulerHasLabelLinesEvery80ColumnsAndTicksEvery10)
{
    loadStereoSquare();
    const QImage image = shot();
    // The label line of column 80 runs the ruler's height; the tick of column 90 is 5 rows.
    // (Row 34, the ruler's bottom line, is also the band's top row, where this trace peaks.)
    for (int y = 4; y <= 33; ++y)
        EXPECT_EQ(rgb(image, 80, y), kWhite) << "row " << y;
    EXPECT_EQ(rgb(image, 500, 34), kWhite);
    for (int y = 30; y <= 33; ++y)
        EXPECT_EQ(rgb(image, 90, y), kWhite) << "row " << y;
    EXPECT_EQ(rgb(image, 90, 29), kBlack);
    EXPECT_EQ(rgb(image, 95, 31), kBlack);
    // Some of the label "0:0.00" shows beside the line of column 0.
    bool text = false;
    for (int y = 4; y < 24; ++y)
        for (int x = 1; x < 40; ++x)
            text = text || rgb(image, x, y) != kBlack;
    EXPECT_TRUE(text);
    EXPECT_EQ(m_view.document().rulerLabel(0), QStringLiteral("0:0.00"));
}

TEST_F(WaveViewTest, ScrollingMovesTheTraceByWholeColumns)
{
    // A trace that differs from column to column: a rising ramp of steps.
    QByteArray data(kFrames * 4, '\0');
    for (int f = 0; f < kFrames; ++f) {
        const auto sample = static_cast<std::int16_t>(-30000 + (f / kZoom) * 150);
        std::memcpy(data.data() + f * 4, &sample, 2);
        std::memcpy(data.data() + f * 4 + 2, &sample, 2);
    }
    ASSERT_TRUE(m_view.load(writeTestWave(m_folder, QStringLiteral("ramp.wav"), 2, 16, data)));
    const QImage before = shot();
    m_view.scrollTo(10);
    EXPECT_EQ(m_view.document().firstColumn(), 10);
    const QImage after = shot();
    for (int y = 36; y < kHeight; ++y)
        EXPECT_EQ(rgb(after, 190, y), rgb(before, 200, y)) << "row " << y;
    m_view.scrollTo(-5);
    EXPECT_EQ(m_view.document().firstColumn(), 0);
}

// ---- Selection, caret and play cursor ------------------------------------------------------

TEST_F(WaveViewTest, SelectionIsShownInvertedBelowTheRuler)
{
    loadStereoSquare();
    const QImage before = shot();
    drag(m_view, 100, 200);
    qint64 start = 0;
    qint64 end = 0;
    m_view.getSelectionBytes(&start, &end);
    EXPECT_EQ(start, 100 * kZoom * 4);
    EXPECT_EQ(end, 200 * kZoom * 4);

    const QImage after = m_view.grab().toImage();
    for (int x : {100, 150, 199}) {
        for (int y = 35; y < kHeight; ++y)
            ASSERT_EQ(rgb(after, x, y), rgb(before, x, y) ^ 0xFFFFFF) << x << "," << y;
        // The ruler and its bottom line stay as they were.
        for (int y = 4; y <= 34; ++y)
            ASSERT_EQ(rgb(after, x, y), rgb(before, x, y)) << x << "," << y;
    }
    for (int x : {98, 99, 203}) {
        for (int y = 35; y < kHeight; ++y)
            ASSERT_EQ(rgb(after, x, y), rgb(before, x, y)) << x << "," << y;
    }
}

TEST_F(WaveViewTest, DraggingLeftSelectsTheSameBytes)
{
    loadStereoSquare();
    drag(m_view, 200, 100);
    qint64 start = 0;
    qint64 end = 0;
    m_view.getSelectionBytes(&start, &end);
    EXPECT_EQ(start, 100 * kZoom * 4);
    EXPECT_EQ(end, 200 * kZoom * 4);
}

TEST_F(WaveViewTest, SelectionAndCaretClampToTheFile)
{
    loadStereoSquare();
    const qint64 totalFrames = m_view.document().totalFrames();
    sendMouse(m_view, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    sendMouse(m_view, QEvent::MouseMove, -50, Qt::LeftButton);
    EXPECT_EQ(m_view.document().caretFrame(), 0);
    sendMouse(m_view, QEvent::MouseMove, kWidth + 400, Qt::LeftButton);
    sendMouse(m_view, QEvent::MouseButtonRelease, kWidth + 400, Qt::NoButton);
    EXPECT_EQ(m_view.document().caretFrame(), totalFrames);
    qint64 start = 0;
    qint64 end = 0;
    m_view.getSelectionBytes(&start, &end);
    EXPECT_EQ(start, 100 * kZoom * 4);
    EXPECT_EQ(end, totalFrames * 4);
    // The inversion stops at the last column of the file, not at the mouse.
    const QImage image = shot();
    const int lastColumn = static_cast<int>(totalFrames / kZoom);
    const QImage plain = [&] {
        MMWaveEditXCtrl other;
        other.resize(kWidth, kHeight);
        other.load(m_view.document().path());
        return other.grab().toImage();
    }();
    EXPECT_EQ(rgb(image, lastColumn - 3, 120), rgb(plain, lastColumn - 3, 120) ^ 0xFFFFFF);
    EXPECT_EQ(rgb(image, lastColumn + 3, 120), rgb(plain, lastColumn + 3, 120));
}

TEST_F(WaveViewTest, ClickLeavesAnEmptySelectionAtTheCaret)
{
    loadStereoSquare();
    drag(m_view, 100, 200);
    drag(m_view, 150, 150);
    qint64 start = 0;
    qint64 end = 0;
    m_view.getSelectionBytes(&start, &end);
    EXPECT_EQ(start, 150 * kZoom * 4);
    EXPECT_EQ(end, start);
}

TEST_F(WaveViewTest, CaretIsADottedInversionThatBlinks)
{
    loadStereoSquare();
    const QImage before = shot();
    drag(m_view, 150, 150);
    ASSERT_TRUE(m_view.isCaretShown());
    EXPECT_TRUE(m_view.isBlinking());
    const QImage shown = shot();
    for (int x : {150, 151}) {
        for (int y = 34; y < kHeight; ++y) {
            const QRgb expected = (x + y) % 2 == 0 ? rgb(before, x, y) ^ 0xFFFFFF : rgb(before, x, y);
            ASSERT_EQ(rgb(shown, x, y), expected) << x << "," << y;
        }
    }
    for (int y = 34; y < kHeight; ++y)
        ASSERT_EQ(rgb(shown, 152, y), rgb(before, 152, y));
    // The blink timer takes it away again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_view.isCaretShown(); }, 5000));
    // Below the strip that carries the mouse marker.
    const QRect below(0, MMWaveEditXCtrl::kTopMargin, kWidth, kHeight - MMWaveEditXCtrl::kTopMargin);
    EXPECT_EQ(shot().copy(below), before.copy(below));
}

TEST_F(WaveViewTest, PlayCursorComesAndGoesWithoutChangingThePicture)
{
    loadStereoSquare();
    const QImage before = m_view.render();
    m_view.setPlayCursor(120 * kZoom);
    ASSERT_TRUE(m_view.isPlayCursorShown());
    const QImage shown = m_view.render();
    for (int y = 34; y < kHeight; ++y) {
        const QRgb expected = (120 + y) % 2 == 0 ? rgb(before, 120, y) ^ 0xFFFFFF : rgb(before, 120, y);
        ASSERT_EQ(rgb(shown, 120, y), expected) << y;
    }
    m_view.setPlayCursor(-1);
    EXPECT_FALSE(m_view.isPlayCursorShown());
    EXPECT_EQ(m_view.render(), before);
    // Off screen (left of the first visible column) nothing is drawn.
    m_view.scrollTo(200);
    m_view.setPlayCursor(100 * kZoom);
    EXPECT_FALSE(m_view.isPlayCursorShown());
}

TEST_F(WaveViewTest, ZoomStaysWithinItsLimits)
{
    loadStereoSquare();
    // Loaded at 512: zoom in stops there, zoom out at the zoom of the whole file.
    m_view.zoomOut();
    EXPECT_EQ(m_view.document().zoom(), kZoom);
    m_view.zoomIn();
    EXPECT_EQ(m_view.document().zoom(), kZoom);
    int min = -1;
    int range = -1;
    m_view.getScrollRange(&min, &range);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(range, 60);
}

} // namespace
} // namespace sonavell::test
