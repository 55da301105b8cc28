#include "gui/ui/sliderbarpainter.h"
#include "gui/ui/sliderctrlbar.h"

#include "dialogtesthelpers.h"
#include "inputevents.h"
#include "testname.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// Paints the plain look and counts how often it was asked to.
class CountingPainter : public SliderBarPainter
{
public:
    explicit CountingPainter(int *count) : m_count(count) {}
    void paint(QPainter &painter, const CSliderCtrlBar &bar) const override
    {
        ++*m_count;
        SliderBarPainter::paint(painter, bar);
    }

private:
    int *m_count;
};

// A 132 × 20 bar over 0 … 1000: bounds 6 … 126, a span of 120 pixels.
class SliderBarTest : public ::testing::Test
{
protected:
    explicit SliderBarTest(int style = 0) : m_bar(nullptr, style)
    {
        m_bar.resize(132, 20);
        m_bar.setRange(0, 1000);
        m_bar.setPainter(std::make_unique<CountingPainter>(&m_paints));
        m_bar.show();
    }

    int middleY() const { return m_bar.thumbRect().center().y(); }

    int m_paints = 0;
    CSliderCtrlBar m_bar;
};

TEST_F(SliderBarTest, GeometryFollowsTheThumbAndTheHeight)
{
    EXPECT_EQ(m_bar.leftBound(), 6);
    EXPECT_EQ(m_bar.rightBound(), 126);
    EXPECT_EQ(m_bar.thumbX(), 6);
    // Centred on y = 20 - (3 + 2) = 15, 7 pixels to each side and 4 up and down.
    EXPECT_EQ(m_bar.thumbRect(), QRect(-1, 11, 14, 8));
    EXPECT_EQ(m_bar.scaleY(), 10);
    m_bar.setPosition(500);
    EXPECT_EQ(m_bar.thumbX(), 66);
    m_bar.resize(252, 20);
    EXPECT_EQ(m_bar.thumbX(), 126) << "a resize keeps the position";
}

struct JumpCase
{
    int x;
    int thumbX;
    int position;
};

class SliderJump : public SliderBarTest, public ::testing::WithParamInterface<JumpCase>
{
};

TEST_P(SliderJump, ClickBesideTheThumbJumpsThere)
{
    m_bar.setPosition(300); // thumb at 42, away from every click below
    QSignalSpy moved(&m_bar, &CSliderCtrlBar::thumbMoved);
    QSignalSpy ended(&m_bar, &CSliderCtrlBar::dragEnded);
    test::pressLeft(&m_bar, QPoint(GetParam().x, 3));
    EXPECT_EQ(m_bar.thumbX(), GetParam().thumbX);
    EXPECT_EQ(m_bar.position(), GetParam().position);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved.at(0).at(0).toInt(), GetParam().position);
    EXPECT_FALSE(m_bar.isDragging());
    test::releaseLeft(&m_bar, QPoint(GetParam().x, 3));
    EXPECT_TRUE(ended.isEmpty()) << "a jump is no drag";
}

INSTANTIATE_TEST_SUITE_P(Points, SliderJump,
                         ::testing::Values(JumpCase{2, 6, 0}, JumpCase{-40, 6, 0}, JumpCase{66, 66, 500},
                                           JumpCase{67, 67, 508}, JumpCase{131, 126, 1000},
                                           JumpCase{500, 126, 1000}, JumpCase{7, 7, 8}),
                         [](const auto &info) { return "click_" + test::numberName(info.param.x); });

TEST_F(SliderBarTest, DraggingTheThumbFollowsTheMouseAndReportsTheEnd)
{
    m_bar.setPosition(500);
    QSignalSpy moved(&m_bar, &CSliderCtrlBar::thumbMoved);
    QSignalSpy ended(&m_bar, &CSliderCtrlBar::dragEnded);
    QSignalSpy close(&m_bar, &CSliderCtrlBar::closeRequested);
    test::pressLeft(&m_bar, QPoint(68, middleY()));
    EXPECT_TRUE(m_bar.isDragging());
    EXPECT_TRUE(moved.isEmpty()) << "grabbing the thumb does not move it";
    test::dragTo(&m_bar, QPoint(36, 0));
    EXPECT_EQ(m_bar.thumbX(), 36);
    EXPECT_EQ(m_bar.position(), 250);
    test::dragTo(&m_bar, QPoint(400, 50));
    EXPECT_EQ(m_bar.thumbX(), 126);
    EXPECT_EQ(m_bar.position(), 1000);
    ASSERT_EQ(moved.size(), 2);
    test::releaseLeft(&m_bar, QPoint(400, 50));
    EXPECT_FALSE(m_bar.isDragging());
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1000);
    EXPECT_TRUE(close.isEmpty());
}

TEST_F(SliderBarTest, MovesWithoutADragDoNothing)
{
    QSignalSpy moved(&m_bar, &CSliderCtrlBar::thumbMoved);
    test::hoverTo(&m_bar, QPoint(90, 5));
    EXPECT_TRUE(moved.isEmpty());
    EXPECT_EQ(m_bar.position(), 0);
}

TEST_F(SliderBarTest, SetPositionClampsAndRepaintsOnlyOnAChange)
{
    m_bar.setPosition(400);
    QCoreApplication::processEvents();
    const int paints = m_paints;
    EXPECT_GT(paints, 0);
    m_bar.setPosition(400);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_paints, paints);
    m_bar.setPosition(5000);
    EXPECT_EQ(m_bar.position(), 1000);
    EXPECT_EQ(m_bar.thumbX(), 126);
    QCoreApplication::processEvents();
    EXPECT_GT(m_paints, paints);
    m_bar.setPosition(-3);
    EXPECT_EQ(m_bar.position(), 0);
}

TEST(SliderBarRange, EqualEndsAreWidenedByOne)
{
    CSliderCtrlBar bar;
    EXPECT_EQ(bar.minimumValue(), 0);
    EXPECT_EQ(bar.maximumValue(), 255);
    bar.setRange(7, 7);
    EXPECT_EQ(bar.minimumValue(), 7);
    EXPECT_EQ(bar.maximumValue(), 8);
    bar.resize(112, 18);
    bar.setPosition(8);
    EXPECT_EQ(bar.thumbX(), 106);
}

TEST(SliderBarRange, TooNarrowBarKeepsTheMinimum)
{
    CSliderCtrlBar bar;
    bar.resize(8, 18);
    bar.setRange(0, 1000);
    test::pressLeft(&bar, QPoint(7, 2));
    EXPECT_EQ(bar.position(), 0);
}

// Popup style: dragging from the start by relative motion, closing on release.
class PopupBarTest : public SliderBarTest
{
protected:
    PopupBarTest() : SliderBarTest(CSliderCtrlBar::Popup) { m_bar.setPosition(500); }
};

TEST_F(PopupBarTest, FollowsRelativeMotionFromTheStart)
{
    EXPECT_TRUE(m_bar.isDragging());
    QSignalSpy moved(&m_bar, &CSliderCtrlBar::thumbMoved);
    test::hoverTo(&m_bar, QPoint(200, 40)); // anywhere: only the starting point
    EXPECT_TRUE(moved.isEmpty());
    EXPECT_EQ(m_bar.thumbX(), 66);
    test::hoverTo(&m_bar, QPoint(212, -30));
    EXPECT_EQ(m_bar.thumbX(), 78);
    EXPECT_EQ(m_bar.position(), 600);
    test::dragTo(&m_bar, QPoint(150, 0));
    EXPECT_EQ(m_bar.thumbX(), 16);
    test::dragTo(&m_bar, QPoint(0, 0));
    EXPECT_EQ(m_bar.thumbX(), 6);
    EXPECT_EQ(m_bar.position(), 0);
    test::dragTo(&m_bar, QPoint(30, 0)); // motion counts from the clamped thumb
    EXPECT_EQ(m_bar.thumbX(), 36);
    test::dragTo(&m_bar, QPoint(-m_bar.mapToGlobal(QPoint(0, 0)).x() - 20, 0)); // left of the screen
    test::dragTo(&m_bar, QPoint(-m_bar.mapToGlobal(QPoint(0, 0)).x() - 10, 0));
    EXPECT_EQ(m_bar.thumbX(), 16) << "negative screen coordinates are ordinary motion";
    EXPECT_EQ(moved.size(), 6);
}

TEST_F(PopupBarTest, ReleaseEndsTheDragAndAsksToClose)
{
    QSignalSpy ended(&m_bar, &CSliderCtrlBar::dragEnded);
    QSignalSpy close(&m_bar, &CSliderCtrlBar::closeRequested);
    test::releaseLeft(&m_bar, QPoint(3, 3));
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 500);
    EXPECT_EQ(close.size(), 1);
    EXPECT_FALSE(m_bar.isDragging());
}

TEST_F(PopupBarTest, AClickStopsFollowingAndItsReleaseClosesWithoutAnEnd)
{
    QSignalSpy moved(&m_bar, &CSliderCtrlBar::thumbMoved);
    QSignalSpy ended(&m_bar, &CSliderCtrlBar::dragEnded);
    QSignalSpy close(&m_bar, &CSliderCtrlBar::closeRequested);
    test::pressLeft(&m_bar, QPoint(100, 5));
    EXPECT_FALSE(m_bar.isDragging());
    EXPECT_TRUE(moved.isEmpty()) << "the click does not jump";
    test::releaseLeft(&m_bar, QPoint(100, 5));
    EXPECT_TRUE(ended.isEmpty());
    EXPECT_EQ(close.size(), 1);
}

// The plain look, pixel by pixel.
TEST_F(SliderBarTest, PaintsStripScaleAndThumb)
{
    m_bar.setPosition(500);
    const QImage image = m_bar.grab().toImage();
    test::saveScreenshot(m_bar, QStringLiteral("sliderctrlbar.png"));
    const QColor yellow(255, 255, 178);
    EXPECT_EQ(image.pixelColor(0, 0), yellow);
    EXPECT_EQ(image.pixelColor(131, 19), yellow);
    // Scale line at y 10 from 6 to 126, ends 6 pixels tall, ticks 4 tall at each fifth.
    EXPECT_EQ(image.pixelColor(6, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(90, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(126, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(127, 10), yellow);
    EXPECT_EQ(image.pixelColor(6, 5), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(6, 4), yellow);
    EXPECT_EQ(image.pixelColor(30, 7), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(30, 6), yellow);
    EXPECT_EQ(image.pixelColor(31, 9), yellow);
    // Thumb: a triangle pointing up from its base at y 18 to its tip at (66, 11).
    EXPECT_EQ(image.pixelColor(66, 17), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(60, 17), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(66, 13), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(60, 12), yellow);
    EXPECT_EQ(image.pixelColor(66, 19), yellow);
}

} // namespace
} // namespace sonavell
