#include "gui/skin/dialogskin.h"

#include "gui/skin/skinimage.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

class DialogSkinTest : public ::testing::Test
{
protected:
    DialogSkinTest()
    {
        auto *layout = new QVBoxLayout(&m_dialog);
        m_label = new QLabel(QStringLiteral("Sensitivity"), &m_dialog);
        m_first = new QRadioButton(QStringLiteral("Stop"), &m_dialog);
        m_second = new QRadioButton(QStringLiteral("New file"), &m_dialog);
        m_check = new QCheckBox(QStringLiteral("Skip Silent  Passages "), &m_dialog);
        for (QWidget *w : std::initializer_list<QWidget *>{m_label, m_first, m_second, m_check})
            layout->addWidget(w);
        m_first->setChecked(true);
        m_owned = new QDialog(&m_dialog); // a window of its own: left alone
        m_ownedCheck = new QCheckBox(m_owned);
        skinDialog(&m_dialog);
        m_dialog.show();
    }

    // The indicator's 12-pixel square: 16 pixels beside the caption, 2 pixels in on every side.
    static QRect indicator(QWidget *button)
    {
        QRect box(0, 0, 16, 16);
        QStyleOptionButton option;
        option.initFrom(button);
        const QStyle::SubElement element = qobject_cast<QRadioButton *>(button)
                                               ? QStyle::SE_RadioButtonIndicator
                                               : QStyle::SE_CheckBoxIndicator;
        box.moveCenter(button->style()->subElementRect(element, &option, button).center());
        return box.adjusted(2, 2, -2, -2);
    }

    QDialog m_dialog;
    QLabel *m_label = nullptr;
    QRadioButton *m_first = nullptr;
    QRadioButton *m_second = nullptr;
    QCheckBox *m_check = nullptr;
    QDialog *m_owned = nullptr;
    QCheckBox *m_ownedCheck = nullptr;
};

TEST_F(DialogSkinTest, RestylesRadioButtonsAndCheckBoxesOfThisWindowOnly)
{
    EXPECT_EQ(m_first->style(), dialogSkinStyle());
    EXPECT_EQ(m_check->style(), dialogSkinStyle());
    EXPECT_NE(m_ownedCheck->style(), dialogSkinStyle());
    EXPECT_NE(m_label->style(), dialogSkinStyle());
    EXPECT_FALSE(m_label->autoFillBackground());
    EXPECT_EQ(m_first->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, m_first), 16);
    CRecordRedioBtn own(QStringLiteral("Line"));
    EXPECT_EQ(own.style(), dialogSkinStyle());
}

TEST_F(DialogSkinTest, CheckedRadioShowsABlackDotInsideABlackCircle)
{
    const QRect circle = indicator(m_first);
    QImage image = m_first->grab().toImage();
    EXPECT_EQ(image.pixel(circle.center()) & 0xFFFFFF, 0u);
    EXPECT_LT(QColor(image.pixel(circle.left(), circle.center().y())).lightness(), 64); // the rim, smoothed
    // Between the rim and the dot: the window colour.
    EXPECT_EQ(image.pixel(circle.left() + 2, circle.center().y()), m_first->palette().base().color().rgb());
    image = m_second->grab().toImage();
    EXPECT_EQ(image.pixel(indicator(m_second).center()), m_second->palette().base().color().rgb());

    // Clicking the other one moves the check, as the platform's radio buttons do.
    QTest::mouseClick(m_second, Qt::LeftButton, {}, indicator(m_second).center());
    EXPECT_TRUE(m_second->isChecked());
    EXPECT_FALSE(m_first->isChecked());
}

TEST_F(DialogSkinTest, CheckBoxHasASunkenFrameAndTheCheckMark)
{
    const QRect box = indicator(m_check);
    QImage image = m_check->grab().toImage();
    EXPECT_EQ(image.pixel(box.topLeft() + QPoint(3, 0)), m_check->palette().dark().color().rgb());
    EXPECT_EQ(image.pixel(box.topLeft() + QPoint(0, 3)), m_check->palette().dark().color().rgb());
    EXPECT_EQ(image.pixel(box.bottomRight() - QPoint(3, 0)), m_check->palette().light().color().rgb());
    EXPECT_EQ(image.pixel(box.bottomRight() - QPoint(0, 3)), m_check->palette().light().color().rgb());
    EXPECT_EQ(image.pixel(box.center()), m_check->palette().base().color().rgb());

    QTest::mouseClick(m_check, Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(m_check->isChecked());
    image = m_check->grab().toImage();
    // The mark, centred in the box, laid over the window colour.
    const QImage mark = loadSkinBitmap(185).convertToFormat(QImage::Format_ARGB32);
    const QPoint origin =
        box.topLeft() + QPoint((box.width() - mark.width()) / 2, (box.height() - mark.height()) / 2);
    const int base = m_check->palette().base().color().red();
    int inked = 0;
    for (int y = 0; y < mark.height(); ++y) {
        for (int x = 0; x < mark.width(); ++x) {
            const int a = qAlpha(mark.pixel(x, y));
            const int expected = (qRed(mark.pixel(x, y)) * a + base * (255 - a)) / 255;
            EXPECT_NEAR(qRed(image.pixel(origin + QPoint(x, y))), expected, 2) << x << "," << y;
            inked += a == 255 ? 1 : 0;
        }
    }
    EXPECT_GE(inked, 5);
}

} // namespace
} // namespace sonavell
