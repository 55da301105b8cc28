#include "gui/ui/editctrl.h"
#include "gui/ui/editpopupbutton.h"
#include "gui/ui/editsliderwnd.h"
#include "gui/ui/numberedit.h"
#include "gui/ui/sliderctrlbar.h"

#include "dialogtesthelpers.h"
#include "inputevents.h"
#include "testname.h"

#include <QHBoxLayout>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

struct PlacementCase
{
    QPoint anchor;
    QRect screen;
    QPoint expected;
};

class Placement : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(Placement, CentredUnderTheAnchorAndKeptOnTheScreen)
{
    EXPECT_EQ(CEditSliderWnd::placement(GetParam().anchor, QSize(126, 18), GetParam().screen),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Anchors, Placement,
    ::testing::Values(PlacementCase{{500, 300}, {0, 0, 1024, 768}, {437, 300}},
                      PlacementCase{{1000, 300}, {0, 0, 1024, 768}, {898, 300}},
                      PlacementCase{{500, 730}, {0, 0, 1024, 768}, {437, 720}},
                      PlacementCase{{500, 720}, {0, 0, 1024, 768}, {437, 720}},
                      PlacementCase{{20, 300}, {0, 0, 1024, 768}, {0, 300}},
                      PlacementCase{{2300, 900}, {1024, 0, 1280, 1024}, {2178, 900}}),
    [](const auto &info) {
        const QPoint anchor = info.param.anchor;
        return "anchor_" + std::to_string(anchor.x()) + '_' + std::to_string(anchor.y());
    });

struct MappingCase
{
    double minimum;
    double maximum;
    double value;
    int position;
};

class Mapping : public ::testing::TestWithParam<MappingCase>
{
};

TEST_P(Mapping, ValueToPositionTruncates)
{
    const MappingCase &sample = GetParam();
    EXPECT_EQ(CEditSliderWnd::positionFor(sample.value, sample.minimum, sample.maximum), sample.position);
}

INSTANTIATE_TEST_SUITE_P(Ranges, Mapping,
                         ::testing::Values(MappingCase{0.1, 10.0, 1.0, 90}, MappingCase{0.1, 10.0, 10.0, 1000},
                                           MappingCase{0.1, 10.0, 0.1, 0}, MappingCase{2, 100, 51, 500},
                                           MappingCase{0, 60, 59.99, 999}, MappingCase{5, 5, 5, 0}),
                         [](const auto &info) {
                             const MappingCase &c = info.param;
                             return test::numberName(c.value) + "_in_" + test::numberName(c.minimum) + '_' +
                                    test::numberName(c.maximum);
                         });

TEST(MappingBack, PositionToValue)
{
    EXPECT_NEAR(CEditSliderWnd::valueFor(500, 0.1, 10.0), 5.05, 1e-12);
    EXPECT_DOUBLE_EQ(CEditSliderWnd::valueFor(0, 0.1, 10.0), 0.1);
    EXPECT_DOUBLE_EQ(CEditSliderWnd::valueFor(1000, 0.1, 10.0), 10.0);
}

// The volume-scale field with its popup button, in a window.
class PopupTest : public ::testing::Test
{
protected:
    PopupTest()
    {
        auto *layout = new QHBoxLayout(&m_window);
        m_control = new EditCtrl(&m_window);
        layout->addWidget(m_control);
        m_control->setRange(0.1, 10.0);
        m_control->setFormat(4, 2);
        m_control->setStep(0.01);
        m_control->setValue(1.0);
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        m_control->numberEdit()->setFocus();
    }

    ~PopupTest() override
    {
        if (m_control->popup())
            m_control->popup()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CEditSliderWnd *openWithButton()
    {
        EditPopupButton *button = m_control->popupButton();
        test::pressLeft(button, button->rect().center());
        return m_control->popup();
    }

    void settleDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QWidget m_window;
    EditCtrl *m_control = nullptr;
};

TEST_F(PopupTest, ButtonPressOpensTheSliderUnderTheControlAtTheEditsValue)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_TRUE(popup->windowFlags() & Qt::Popup);
    EXPECT_TRUE(m_control->popupButton()->isDown()) << "the button stays pressed while its popup is open";
    EXPECT_EQ(popup->slider()->minimumValue(), 0);
    EXPECT_EQ(popup->slider()->maximumValue(), 1000);
    EXPECT_EQ(popup->slider()->position(), 90);
    EXPECT_TRUE(popup->slider()->isDragging());
    EXPECT_EQ(popup->slider()->geometry(), popup->rect());
    const QPoint pressX = m_control->popupButton()->mapToGlobal(m_control->popupButton()->rect().center());
    const QRect frame = popup->geometry();
    EXPECT_EQ(frame.top(), m_control->mapToGlobal(QPoint(0, m_control->height())).y());
    EXPECT_EQ(frame.left(), std::max(0, pressX.x() - frame.width() / 2));
    test::saveScreenshot(*popup, QStringLiteral("editsliderwnd.png"));
}

TEST_F(PopupTest, SliderMovesSetTheValueAndReportChanges)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    CSliderCtrlBar *slider = popup->slider();
    QSignalSpy changed(m_control, &EditCtrl::valueChanged);
    QSignalSpy finished(m_control, &EditCtrl::changeFinished);
    test::dragTo(slider, QPoint(10, 5));
    test::dragTo(slider, QPoint(10 + slider->rightBound(), 5)); // far right: the maximum
    EXPECT_EQ(slider->position(), 1000);
    EXPECT_DOUBLE_EQ(m_control->value(), 10.0);
    EXPECT_EQ(m_control->numberEdit()->text(), QStringLiteral("10.00"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(PopupTest, PositionFiveHundredShowsFiveOhFive)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    QSignalSpy changed(m_control, &EditCtrl::valueChanged);
    Q_EMIT popup->slider()->thumbMoved(500);
    EXPECT_NEAR(m_control->value(), 5.05, 1e-12);
    EXPECT_EQ(m_control->numberEdit()->text(), QStringLiteral("5.05"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_NEAR(changed.at(0).at(0).toDouble(), 5.05, 1e-12);
}

TEST_F(PopupTest, ReleaseClosesThePopupAndFinishesWithTheLastPosition)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    CSliderCtrlBar *slider = popup->slider();
    QSignalSpy finished(m_control, &EditCtrl::changeFinished);
    test::dragTo(slider, QPoint(40, 5));
    test::dragTo(slider, QPoint(40 - slider->rightBound(), 5)); // far left: the minimum
    test::dragTo(slider, QPoint(40 - slider->rightBound() + 12, 5));
    const int last = slider->position();
    ASSERT_GT(last, 0);
    test::releaseLeft(slider, QPoint(40 - slider->rightBound() + 12, 5));

    EXPECT_FALSE(popup->isVisible());
    ASSERT_EQ(finished.size(), 1);
    EXPECT_DOUBLE_EQ(finished.at(0).at(0).toDouble(), CEditSliderWnd::valueFor(last, 0.1, 10.0));
    EXPECT_DOUBLE_EQ(m_control->value(), CEditSliderWnd::valueFor(last, 0.1, 10.0));
    EXPECT_FALSE(m_control->popupButton()->isDown());
    settleDeletes();
    EXPECT_EQ(m_control->popup(), nullptr);
}

// What the window system hands the popup itself, the pointer being outside the strip.
TEST_F(PopupTest, MovesOutsideTheStripReachThePopupAndStillMoveTheThumb)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    CSliderCtrlBar *slider = popup->slider();
    const int start = slider->position();
    const QPoint below(20, popup->height() + 80);
    test::dragTo(popup, below);
    test::dragTo(popup, below + QPoint(30, 40));
    EXPECT_GT(slider->position(), start);
    const int last = slider->position();
    test::releaseLeft(popup, below + QPoint(30, 40));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_DOUBLE_EQ(m_control->value(), CEditSliderWnd::valueFor(last, 0.1, 10.0));
}

TEST_F(PopupTest, DeactivationClosesWithoutFinishing)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    test::dragTo(popup->slider(), QPoint(40, 5));
    test::dragTo(popup->slider(), QPoint(60, 5));
    const double moved = m_control->value();
    QSignalSpy finished(m_control, &EditCtrl::changeFinished);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(popup, &deactivate);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_DOUBLE_EQ(m_control->value(), moved) << "what the slider set stays";
    EXPECT_FALSE(m_control->popupButton()->isDown());
    settleDeletes();
    EXPECT_EQ(m_control->popup(), nullptr);
}

TEST_F(PopupTest, AClickWhileFollowingClosesWithoutFinishing)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    QSignalSpy finished(m_control, &EditCtrl::changeFinished);
    // The slider has the mouse, wherever the click lands.
    test::pressLeft(popup->slider(), QPoint(-50, 80));
    EXPECT_TRUE(popup->isVisible());
    test::releaseLeft(popup->slider(), QPoint(-50, 80));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(PopupTest, EscapeClosesThePopup)
{
    CEditSliderWnd *popup = openWithButton();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(PopupTest, ReopensAfterClosing)
{
    CEditSliderWnd *first = openWithButton();
    ASSERT_NE(first, nullptr);
    first->close();
    settleDeletes();
    m_control->setValue(10.0);
    CEditSliderWnd *second = openWithButton();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->slider()->position(), 1000);
}

// Frame styles and layout of the control, pixel by pixel.
struct FrameCase
{
    int style;
    QMargins insets;
    QColor outerTopLeft;
    QColor outerBottomRight;
};

class Frame : public ::testing::TestWithParam<FrameCase>
{
};

TEST_P(Frame, DrawsTheFrameAndInsetsTheChildren)
{
    const FrameCase &sample = GetParam();
    EditCtrl control(nullptr, sample.style);
    control.resize(80, 26);
    control.show();
    const QRect inner = control.rect() - sample.insets;
    const int buttonWidth = inner.height() * 2 / 3 - 1;
    if (sample.style & EditCtrl::PopupButton) {
        ASSERT_NE(control.popupButton(), nullptr);
        EXPECT_EQ(control.popupButton()->geometry(),
                  QRect(inner.right() + 1 - buttonWidth, inner.top(), buttonWidth, inner.height()));
        EXPECT_EQ(control.numberEdit()->geometry(), inner.adjusted(0, 0, -buttonWidth, 0));
    } else {
        EXPECT_EQ(control.popupButton(), nullptr);
        EXPECT_EQ(control.numberEdit()->geometry(), inner);
    }
    const QImage image = control.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), sample.outerTopLeft);
    EXPECT_EQ(image.pixelColor(0, 12), sample.outerTopLeft);
    EXPECT_EQ(image.pixelColor(79, 25), sample.outerBottomRight);
    EXPECT_EQ(image.pixelColor(79, 12), sample.outerBottomRight);
    if (sample.style & EditCtrl::SunkenFrame) {
        EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black));
        EXPECT_EQ(image.pixelColor(78, 24), QColor(192, 192, 192));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Styles, Frame,
    ::testing::Values(FrameCase{EditCtrl::SunkenFrame | EditCtrl::PopupButton, {2, 2, 3, 3}, {152, 152, 152}, Qt::white},
                      FrameCase{EditCtrl::SunkenFrame, {2, 2, 3, 3}, {152, 152, 152}, Qt::white},
                      FrameCase{EditCtrl::SingleFrame | EditCtrl::PopupButton, {1, 1, 1, 1}, {10, 10, 10}, {240, 240, 240}},
                      FrameCase{EditCtrl::SunkenFrame | EditCtrl::SingleFrame, {2, 2, 3, 3}, {152, 152, 152}, Qt::white}),
    [](const auto &info) {
        const int style = info.param.style;
        std::string name;
        if (style & EditCtrl::SunkenFrame)
            name += "Sunken";
        if (style & EditCtrl::SingleFrame)
            name += "Single";
        if (style & EditCtrl::PopupButton)
            name += "Popup";
        return name;
    });

TEST(EditCtrlStyle, PopupButtonComesAndGoes)
{
    EditCtrl control(nullptr, EditCtrl::SingleFrame);
    control.resize(80, 20);
    EXPECT_EQ(control.popupButton(), nullptr);
    control.setPopupButtonShown(true);
    ASSERT_NE(control.popupButton(), nullptr);
    EXPECT_LT(control.numberEdit()->width(), 78);
    control.setPopupButtonShown(false);
    EXPECT_EQ(control.popupButton(), nullptr);
    EXPECT_EQ(control.numberEdit()->width(), 78);
}

TEST(EditCtrlFont, TheBoxFontFillsTheBox)
{
    EditCtrl control;
    control.resize(80, 30);
    control.show();
    const QFont font = control.numberEdit()->font();
    EXPECT_LE(QFontMetrics(font).height(), control.numberEdit()->height());
    EXPECT_GE(QFontMetrics(font).height(), control.numberEdit()->height() - 6);
    control.resize(80, 50);
    EXPECT_GT(control.numberEdit()->font().pixelSize(), font.pixelSize());
}

TEST(EditPopupButtonLook, RaisedWithATriangleOrSunkenWhenDown)
{
    EditPopupButton button;
    button.resize(16, 20);
    QImage image = button.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(15, 19), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(96, 96, 96)); // near the tip at x 12
    EXPECT_EQ(image.pixelColor(9, 9), QColor(96, 96, 96));
    button.setDown(true);
    image = button.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(15, 19), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(10, 10), QColor(96, 96, 96));
}

TEST(EditCtrlLook, Screenshots)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *volume = new EditCtrl(&window);
    volume->setRange(0.1, 10.0);
    volume->setFormat(4, 2);
    volume->setValue(1.0);
    auto *count = new EditCtrl(&window, EditCtrl::SingleFrame);
    count->setRange(2, 100);
    count->setValue(2);
    layout->addWidget(volume);
    layout->addWidget(count);
    window.show();
    EXPECT_GE(volume->width(), volume->sizeHint().width() - 1);
    test::saveScreenshot(window, QStringLiteral("editctrl.png"));
    volume->resize(160, 40);
    test::saveScreenshot(*volume, QStringLiteral("editctrl_large.png"));
}

} // namespace
} // namespace sonavell
