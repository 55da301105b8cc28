#include "gui/skin/skinbutton.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

const QColor kParent(10, 120, 30);

// The face blended onto the parent's flat colour, as the button must show it.
QImage expectedPicture(int faceId, QSize size)
{
    const SkinImage face = loadSkinImage(faceId);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(kParent);
    for (int y = 0; y < face.height; ++y) {
        for (int x = 0; x < face.width; ++x) {
            const std::uint32_t p = face.pixel(x, y);
            const int a = static_cast<int>(p >> 24);
            picture.setPixel(x, y,
                             qRgb(blendChannel(kParent.red(), qRed(p), a),
                                  blendChannel(kParent.green(), qGreen(p), a),
                                  blendChannel(kParent.blue(), qBlue(p), a)));
        }
    }
    return picture;
}

class SkinButtonTest : public ::testing::Test
{
protected:
    SkinButtonTest()
    {
        QPalette palette = m_parent.palette();
        palette.setColor(QPalette::Window, kParent);
        m_parent.setPalette(palette);
        m_parent.setAutoFillBackground(true);
        m_parent.resize(300, 120);
        m_button = new QPushButton(QStringLiteral("Record"), &m_parent);
        m_button->move(20, 30);
        m_parent.show();
    }

    SkinButton *skin(int normal, int active, bool toggle)
    {
        SkinButton *s = SkinButton::attach(m_button);
        s->setImages(normal, active);
        s->setToggleMode(toggle);
        return s;
    }

    // Whether the button shows exactly `faceId` blended onto the parent, inside its outline.
    bool shows(int faceId) const
    {
        const QImage shown = m_button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage expected = expectedPicture(faceId, m_button->size());
        const QRegion outline = m_button->mask();
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                if (outline.contains(QPoint(x, y)) && shown.pixel(x, y) != expected.pixel(x, y))
                    return false;
        return true;
    }

    QPoint centre() const { return m_button->rect().center(); }

    QWidget m_parent;
    QPushButton *m_button = nullptr;
};

TEST_F(SkinButtonTest, TakesTheFaceSizeAndARoundOutline)
{
    skin(138, 137, true);
    EXPECT_EQ(m_button->size(), QSize(124, 44));
    EXPECT_TRUE(m_button->mask().contains(QPoint(62, 22)));
    EXPECT_FALSE(m_button->mask().contains(QPoint(1, 1)));
    EXPECT_EQ(m_button->pos(), QPoint(20, 30));
}

TEST_F(SkinButtonTest, BlendsTheFaceOntoTheParentsBackground)
{
    skin(138, 137, true);
    EXPECT_TRUE(shows(138));
}

TEST_F(SkinButtonTest, ToggleModeKeepsTheActiveFaceWhileChecked)
{
    SkinButton *s = skin(138, 137, true);
    QSignalSpy clicked(m_button, &QPushButton::clicked);
    QTest::mouseClick(m_button, Qt::LeftButton, {}, centre());
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(m_button->isChecked());
    EXPECT_TRUE(shows(137));

    QTest::mouseClick(m_button, Qt::LeftButton, {}, centre());
    EXPECT_FALSE(m_button->isChecked());
    EXPECT_TRUE(shows(138));

    s->setChecked(true);
    EXPECT_TRUE(shows(137));
    s->setChecked(false);
    EXPECT_TRUE(shows(138));
    EXPECT_EQ(clicked.count(), 2);
}

TEST_F(SkinButtonTest, PushModeShowsTheActiveFaceOnlyWhileHeld)
{
    m_button->setText(QStringLiteral("Stop"));
    SkinButton *s = skin(141, 142, false);
    QSignalSpy clicked(m_button, &QPushButton::clicked);
    QTest::mousePress(m_button, Qt::LeftButton, {}, centre());
    EXPECT_TRUE(s->isPressed());
    EXPECT_TRUE(shows(142));
    // Still held while the mouse wanders off the button.
    QTest::mouseMove(m_button, QPoint(200, 100));
    EXPECT_TRUE(s->showsActiveFace());
    QTest::mouseMove(m_button, centre());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, centre());
    EXPECT_FALSE(s->isPressed());
    EXPECT_TRUE(shows(141));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(m_button->isChecked());
}

TEST_F(SkinButtonTest, ReleasingOutsideSendsNothing)
{
    for (bool toggle : {true, false}) {
        SCOPED_TRACE(toggle ? "toggle mode" : "push mode");
        SkinButton *s = skin(138, 137, toggle);
        QSignalSpy clicked(m_button, &QPushButton::clicked);
        QSignalSpy toggled(m_button, &QPushButton::toggled);
        QTest::mousePress(m_button, Qt::LeftButton, {}, centre());
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(200, 60));
        EXPECT_EQ(clicked.count(), 0);
        EXPECT_EQ(toggled.count(), 0);
        EXPECT_FALSE(m_button->isChecked());
        EXPECT_FALSE(s->isPressed());
        EXPECT_TRUE(shows(138));
    }
}

TEST_F(SkinButtonTest, ComposesTheSharperFacesOnDenseScreens)
{
    skin(138, 137, true);
    const QImage picture = skin(138, 137, true)->composed(2);
    EXPECT_EQ(picture.size(), QSize(248, 88));
    const SkinImage face = loadSkinImage(138, 2);
    const std::uint32_t p = face.pixel(124, 44); // the face's middle is opaque
    ASSERT_EQ(p >> 24, 255u);
    EXPECT_EQ(picture.pixel(124, 44) & 0xFFFFFF, p & 0xFFFFFF);
}

TEST_F(SkinButtonTest, DisabledButtonFadesItsNormalFaceButNotALitToggle)
{
    SkinButton *s = skin(138, 137, true);
    m_button->setEnabled(false);
    EXPECT_FALSE(shows(138));
    s->setChecked(true);
    EXPECT_TRUE(shows(137));
}

TEST_F(SkinButtonTest, TooltipShowsTheCaption)
{
    skin(138, 137, true);
    QHelpEvent help(QEvent::ToolTip, centre(), m_button->mapToGlobal(centre()));
    QApplication::sendEvent(m_button, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Record"));
    m_button->setText(QStringLiteral("Resume"));
    QApplication::sendEvent(m_button, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Resume"));
    QToolTip::hideText();
}

TEST_F(SkinButtonTest, MissingFacesLeaveThePlatformLook)
{
    skin(9001, 9002, false);
    EXPECT_NE(m_button->size(), QSize(124, 44));
    EXPECT_TRUE(m_button->mask().isEmpty());
}

} // namespace
} // namespace sonavell
