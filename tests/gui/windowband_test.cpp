#include "gui/skin/menubar.h"
#include "gui/skin/timedisplay.h"
#include "gui/skin/windowband.h"
#include "testname.h"

#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

using Area = WindowBand::Area;

struct HitCase
{
    int x;
    int y;
    Area expected;
};

class BandHitTest : public ::testing::TestWithParam<HitCase>
{
};

TEST_P(BandHitTest, SaysWhatAPressDoes)
{
    const HitCase c = GetParam();
    EXPECT_EQ(WindowBand::hitTest(QPoint(c.x, c.y), 800, QSize(24, 25)), c.expected) << c.x << "," << c.y;
}

// An 800-pixel window: the left field is 185 wide at the top and 175 at the bottom, the right one
// the last 230 at the top and 240 at the bottom; close is 776..799 and minimise 754..777, 25 high.
INSTANTIATE_TEST_SUITE_P(Table, BandHitTest,
                         ::testing::Values(HitCase{5, 5, Area::Drag}, HitCase{184, 0, Area::Drag},
                                           HitCase{185, 0, Area::Menu}, HitCase{175, 30, Area::Drag},
                                           HitCase{176, 30, Area::Menu}, HitCase{569, 0, Area::Menu},
                                           HitCase{570, 0, Area::Drag}, HitCase{560, 30, Area::Menu},
                                           HitCase{561, 30, Area::Drag}, HitCase{790, 5, Area::Close},
                                           HitCase{776, 24, Area::Close}, HitCase{760, 5, Area::Minimise},
                                           HitCase{754, 0, Area::Minimise}, HitCase{753, 0, Area::Drag},
                                           HitCase{790, 25, Area::Drag}, HitCase{400, 31, Area::Drag},
                                           HitCase{400, 300, Area::Drag}),
                         [](const auto &info) {
                             const HitCase &c = info.param;
                             const char *area = c.expected == Area::Drag    ? "Drag"
                                                : c.expected == Area::Menu  ? "Menu"
                                                : c.expected == Area::Close ? "Close"
                                                                            : "Minimise";
                             return "x" + std::to_string(c.x) + "_y" + std::to_string(c.y) + '_' + area;
                         });

TEST(WindowBandGeometry, CaptionButtonsAndTimeRectangle)
{
    const QSize button(24, 25);
    EXPECT_EQ(WindowBand::closeButtonRect(800, button), QRect(776, 0, 24, 25));
    EXPECT_EQ(WindowBand::minimiseButtonRect(800, button), QRect(754, 0, 24, 25));
    EXPECT_EQ(WindowBand::closeButtonRect(800, QSize(30, 30)), QRect(770, 0, 30, 30));
    EXPECT_EQ(WindowBand::timeRect(800), QRect(570, 0, 175, 31));
    EXPECT_EQ(WindowBand::captionButtonSize(nullptr), QSize(24, 25));
}

class WindowBandTest : public ::testing::Test
{
protected:
    WindowBandTest()
    {
        m_band = new WindowBand(&m_window);
        m_window.setCentralWidget(new QWidget);
        m_window.resize(800, 300);
        m_window.show();
        m_button = WindowBand::captionButtonSize(m_window.style());
        m_close = WindowBand::closeButtonRect(800, m_button).center();
        m_minimise = WindowBand::minimiseButtonRect(800, m_button).topLeft() + QPoint(4, 12);
    }

    QImage band() { return m_band->menuBar()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QMainWindow m_window;
    WindowBand *m_band = nullptr;
    QSize m_button;
    QPoint m_close;
    QPoint m_minimise;
};

TEST_F(WindowBandTest, MakesTheWindowFramelessWithTheBandOnTop)
{
    EXPECT_TRUE(m_window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(m_window.menuBar(), m_band->menuBar());
    EXPECT_EQ(m_band->menuBar()->geometry(), QRect(0, 0, 800, 31));
    EXPECT_EQ(m_band->timeDisplay()->geometry(), QRect(570, 0, 175, 31));
    m_window.resize(900, 300);
    EXPECT_EQ(m_band->timeDisplay()->geometry(), QRect(670, 0, 175, 31));
}

TEST_F(WindowBandTest, DrawsTheFieldsOfTheBand)
{
    const QImage image = band();
    EXPECT_EQ(QColor(image.pixel(400, 10)), QColor(200, 200, 200)); // the menu's field
    EXPECT_EQ(QColor(image.pixel(750, 28)), QColor(200, 200, 200)); // under the caption buttons
    EXPECT_EQ(QColor(image.pixel(560, 2)), QColor(200, 200, 200));  // left of the time field
    EXPECT_EQ(QColor(image.pixel(746, 2)), QColor(225, 225, 225));  // the time field beyond the display
    EXPECT_LT(QColor(image.pixel(60, 4)).lightness(), 120);         // the dark name bitmap
    EXPECT_EQ(QColor(image.pixel(m_close.x(), m_close.y())), QColor(0, 0, 0)); // the X's crossing
}

TEST_F(WindowBandTest, CloseAndMinimiseClickWhereTheyWereReleased)
{
    QWidget *bar = m_band->menuBar();
    QSignalSpy closed(m_band, &WindowBand::closeClicked);
    QSignalSpy minimised(m_band, &WindowBand::minimiseClicked);

    QTest::mousePress(bar, Qt::LeftButton, {}, m_close);
    EXPECT_EQ(m_band->pressedButton(), Area::Close);
    // The pressed frame: shadow grey on the outer line, dark grey inside it.
    const QRect face = WindowBand::closeButtonRect(800, m_button).adjusted(3, 3, -3, -3);
    EXPECT_EQ(QColor(band().pixel(face.left(), face.top() + 5)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(band().pixel(face.left() + 1, face.top() + 5)), QColor(64, 64, 64));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, m_close);
    EXPECT_EQ(m_band->pressedButton(), Area::Drag);
    EXPECT_NE(QColor(band().pixel(face.left(), face.top() + 5)), QColor(128, 128, 128));
    EXPECT_EQ(closed.count(), 1);

    QTest::mousePress(bar, Qt::LeftButton, {}, m_minimise);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, m_minimise);
    EXPECT_EQ(minimised.count(), 1);

    // Released over the other button or off the band: nothing.
    QTest::mousePress(bar, Qt::LeftButton, {}, m_minimise);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, m_close);
    QTest::mousePress(bar, Qt::LeftButton, {}, m_close);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(400, 200));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(minimised.count(), 1);
}

TEST_F(WindowBandTest, RightButtonEndsTheTrackingWithoutAction)
{
    QWidget *bar = m_band->menuBar();
    QSignalSpy closed(m_band, &WindowBand::closeClicked);
    QTest::mousePress(bar, Qt::LeftButton, {}, m_close);
    QTest::mousePress(bar, Qt::RightButton, Qt::NoModifier, m_close);
    EXPECT_EQ(m_band->pressedButton(), Area::Drag);
    QTest::mouseRelease(bar, Qt::RightButton, {}, m_close);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, m_close);
    EXPECT_EQ(closed.count(), 0);
}

TEST_F(WindowBandTest, BackgroundAndBandEndsMoveTheWindowButNotTheMenuField)
{
    QSignalSpy moves(m_band, &WindowBand::moveStarted);
    const auto press = [](QWidget *widget, QPoint at) {
        QTest::mousePress(widget, Qt::LeftButton, {}, at);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    };
    press(m_window.centralWidget(), QPoint(300, 150));
    EXPECT_EQ(moves.count(), 1);
    press(m_band->menuBar(), QPoint(20, 10));
    EXPECT_EQ(moves.count(), 2);
    press(m_band->menuBar(), QPoint(650, 20)); // over the time display
    EXPECT_EQ(moves.count(), 3);
    press(m_band->menuBar(), QPoint(450, 15));
    EXPECT_EQ(moves.count(), 3);
}

} // namespace
} // namespace sonavell
