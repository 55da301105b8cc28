#include "gui/skin/skinslider.h"

#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

const QColor kParent(200, 180, 160);

class SkinSliderTest : public ::testing::Test
{
protected:
    SkinSliderTest()
    {
        QPalette palette = m_parent.palette();
        palette.setColor(QPalette::Window, kParent);
        m_parent.setPalette(palette);
        m_parent.setAutoFillBackground(true);
        m_parent.resize(300, 200);
    }

    QSlider *slider(Qt::Orientation orientation, QSize size)
    {
        auto *s = new QSlider(orientation, &m_parent);
        s->setRange(0, 100);
        s->setValue(50);
        SkinSlider::attach(s);
        s->setGeometry(QRect(QPoint(10, 10), size));
        m_parent.show();
        return s;
    }

    static QStyleOptionSlider optionOf(const QSlider *s)
    {
        QStyleOptionSlider option;
        option.initFrom(s);
        option.orientation = s->orientation();
        option.minimum = s->minimum();
        option.maximum = s->maximum();
        option.sliderPosition = s->sliderPosition();
        option.sliderValue = s->value();
        option.upsideDown = s->orientation() == Qt::Vertical;
        return option;
    }

    QWidget m_parent;
};

TEST_F(SkinSliderTest, GrooveDarkensTheTravelledSideAndTintsTheRest)
{
    QSlider *s = slider(Qt::Horizontal, QSize(156, 21));
    SkinSlider *skin = SkinSlider::of(s);
    const QImage picture = skin->composed(1);
    const SkinImage groove = loadSkinImage(165);
    const SkinSlider::Parts parts = skin->parts(optionOf(s));
    ASSERT_EQ(parts.thumb.width(), 16);
    EXPECT_EQ(parts.channel.left(), 8);
    const int y = 10; // the slot's middle row
    const int left = parts.thumb.left() - 10;
    const int right = parts.thumb.right() + 10;
    const std::uint32_t gl = groove.pixel(left - 8, y - (21 - groove.height) / 2);
    const std::uint32_t gr = groove.pixel(right - 8, y - (21 - groove.height) / 2);
    ASSERT_GT(gl >> 24, 0u);
    const int al = static_cast<int>(gl >> 24);
    const int ar = static_cast<int>(gr >> 24);
    EXPECT_EQ(QColor(picture.pixel(left, y)),
              QColor(darkenChannel(kParent.red(), al), darkenChannel(kParent.green(), al),
                     darkenChannel(kParent.blue(), al)));
    EXPECT_EQ(QColor(picture.pixel(right, y)),
              QColor(blendChannel(kParent.red(), qRed(gr), ar), blendChannel(kParent.green(), qGreen(gr), ar),
                     blendChannel(kParent.blue(), qBlue(gr), ar)));
    // Outside the groove the parent shows.
    EXPECT_EQ(QColor(picture.pixel(2, 0)), kParent);
}

TEST_F(SkinSliderTest, VerticalGrooveShadowsBelowTheThumb)
{
    QSlider *s = slider(Qt::Vertical, QSize(24, 96));
    const QImage picture = SkinSlider::of(s)->composed(1);
    const SkinSlider::Parts parts = SkinSlider::of(s)->parts(optionOf(s));
    const int x = 12;
    const QColor above(picture.pixel(x, parts.thumb.top() - 8));
    const QColor below(picture.pixel(x, parts.thumb.bottom() + 8));
    EXPECT_LT(below.value(), kParent.value());
    EXPECT_GT(above.lightness(), below.lightness());
}

TEST_F(SkinSliderTest, ThumbFaceChangesWhileDragged)
{
    QSlider *s = slider(Qt::Horizontal, QSize(156, 21));
    SkinSlider *skin = SkinSlider::of(s);
    const QRect thumb = skin->parts(optionOf(s)).thumb;
    const QPoint middle = thumb.center();
    const auto thumbMiddle = [&](int id) {
        const QPoint at = middle - thumb.topLeft();
        return loadSkinImage(id).pixel(at.x(), at.y()) | 0xFF000000u;
    };
    ASSERT_EQ(loadSkinImage(167).pixel(middle.x() - thumb.left(), middle.y() - thumb.top()) >> 24, 255u);
    EXPECT_EQ(skin->composed(1).pixel(middle.x(), middle.y()), thumbMiddle(167));
    QTest::mousePress(s, Qt::LeftButton, {}, middle);
    EXPECT_TRUE(s->isSliderDown()); // the mouse grabs the thumb where it is drawn
    EXPECT_EQ(skin->composed(1).pixel(middle.x(), middle.y()), thumbMiddle(166));
    QTest::mouseRelease(s, Qt::LeftButton, {}, middle);
    EXPECT_FALSE(s->isSliderDown());
    EXPECT_EQ(s->value(), 50);
}

TEST_F(SkinSliderTest, GrooveStyleZeroShowsASunkenChannelOnTheBackground)
{
    QSlider *s = slider(Qt::Horizontal, QSize(156, 21));
    SkinSlider *skin = SkinSlider::of(s);
    skin->setGrooveStyle(0);
    EXPECT_EQ(s->maximumWidth(), QWIDGETSIZE_MAX);
    s->resize(250, 21);
    s->setValue(0);
    const QImage picture = skin->composed(1);
    const int x = 150;
    std::vector<QColor> column;
    for (int y = 0; y < 21; ++y)
        column.emplace_back(picture.pixel(x, y));
    EXPECT_EQ(column.front(), kParent);
    EXPECT_NE(std::find(column.begin(), column.end(), QColor(128, 128, 128)), column.end());
    EXPECT_NE(std::find(column.begin(), column.end(), QColor(64, 64, 64)), column.end());
    EXPECT_NE(std::find(column.begin(), column.end(), QColor(255, 255, 255)), column.end());
}

TEST_F(SkinSliderTest, GrooveStyleOneKeepsTheSliderToTheGroovesLength)
{
    QSlider *s = slider(Qt::Horizontal, QSize(156, 21));
    EXPECT_EQ(s->maximumWidth(), 140 + 16);
    QSlider *v = slider(Qt::Vertical, QSize(24, 96));
    EXPECT_EQ(v->maximumHeight(), 80 + 16);
    EXPECT_EQ(v->sizeHint().width(), 24);
}

} // namespace
} // namespace sonavell
