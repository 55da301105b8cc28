#include "gui/skin/timedisplay.h"

#include <gtest/gtest.h>

namespace sonavell {
namespace {

const QColor kOwner(20, 140, 40);

bool isInk(QRgb p)
{
    return qBlue(p) > qRed(p) + 60 && qBlue(p) > qGreen(p) + 60;
}

class TimeDisplayTest : public ::testing::Test
{
protected:
    TimeDisplayTest()
    {
        QPalette palette = m_owner.palette();
        palette.setColor(QPalette::Window, kOwner);
        m_owner.setPalette(palette);
        m_owner.setAutoFillBackground(true);
        m_owner.resize(400, 60);
        m_owner.show();
    }

    QImage owner() { return m_owner.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QWidget m_owner;
    TimeDisplay m_display;
    const QRect m_rect{50, 10, 175, 31};
};

TEST_F(TimeDisplayTest, DrawsNothingBeforeItIsAttached)
{
    m_display.setText(QStringLiteral("12 : 34"));
    m_display.draw();
    EXPECT_TRUE(m_display.picture().isNull());
    EXPECT_FALSE(m_display.isVisible());
}

TEST_F(TimeDisplayTest, GreyFieldWithBlueItalicTextInStyleOne)
{
    m_display.attach(&m_owner, m_rect, 1);
    m_display.draw();
    const QImage image = owner();
    EXPECT_EQ(QColor(image.pixel(m_rect.left(), m_rect.bottom())), QColor(225, 225, 225));
    EXPECT_EQ(QColor(image.pixel(m_rect.left() - 1, m_rect.top())), kOwner);
    EXPECT_EQ(QColor(image.pixel(m_rect.right() + 1, m_rect.top())), kOwner);
    int ink = 0;
    for (int y = m_rect.top(); y <= m_rect.bottom(); ++y)
        for (int x = m_rect.left(); x <= m_rect.right(); ++x)
            ink += isInk(image.pixel(x, y)) ? 1 : 0;
    EXPECT_GT(ink, 100);
    EXPECT_TRUE(m_display.displayFont().italic());
    EXPECT_EQ(m_display.displayFont().weight(), QFont::Medium);
}

TEST_F(TimeDisplayTest, StyleZeroIsUprightOverTheOwnersBackground)
{
    m_display.attach(&m_owner, m_rect, 0);
    const QImage picture = m_display.picture();
    EXPECT_EQ(QColor(picture.pixel(0, picture.height() - 1)), kOwner);
    EXPECT_FALSE(m_display.displayFont().italic());
}

TEST_F(TimeDisplayTest, DrawingTwiceGivesTheSamePixels)
{
    for (int style : {0, 1}) {
        m_display.attach(&m_owner, m_rect, style);
        m_display.setText(QStringLiteral("03:07 / 12:59"));
        m_display.draw();
        const QImage first = owner();
        m_display.draw();
        EXPECT_EQ(owner(), first) << "style " << style;
        EXPECT_EQ(m_display.picture(), m_display.picture());
        EXPECT_EQ(m_display.picture(2), m_display.picture(2));
    }
}

TEST_F(TimeDisplayTest, TextWiderThanTheRectangleIsCutAtBothEdges)
{
    m_display.attach(&m_owner, m_rect, 1);
    m_display.setText(QString(40, QLatin1Char('8')));
    m_display.draw();
    const QImage image = owner();
    const auto columnHasInk = [&image, this](int x) {
        for (int y = m_rect.top(); y <= m_rect.bottom(); ++y)
            if (isInk(image.pixel(x, y)))
                return true;
        return false;
    };
    EXPECT_TRUE(columnHasInk(m_rect.left()) || columnHasInk(m_rect.left() + 1));
    EXPECT_TRUE(columnHasInk(m_rect.right()) || columnHasInk(m_rect.right() - 1));
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(QColor(image.pixel(m_rect.left() - 1, y)), kOwner) << y;
        ASSERT_EQ(QColor(image.pixel(m_rect.right() + 1, y)), kOwner) << y;
    }
}

TEST_F(TimeDisplayTest, MousePassesThroughToTheOwner)
{
    m_display.attach(&m_owner, m_rect, 1);
    EXPECT_EQ(m_owner.childAt(m_rect.center()), nullptr);
}

} // namespace
} // namespace sonavell
