#include "gui/record/timedrecordingdialog.h"

#include "dialogtesthelpers.h"
#include "core/record/timedrecording.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

const QDate kDay(2026, 3, 2);

std::int32_t at(int hour, int minute, int second = 0)
{
    return static_cast<std::int32_t>(QDateTime(kDay, QTime(hour, minute, second)).toSecsSinceEpoch());
}

class TimedRecordingDialogTest : public ::testing::Test
{
protected:
    void open(const QList<TimedRecording> &entries)
    {
        m_settings.setTimedRecordings(entries);
        m_dialog = std::make_unique<TimedRecordingDialog>(m_settings);
        m_dialog->setClock([] { return QDateTime(QDate(2026, 5, 14), QTime(13, 20, 5)); });
        m_dialog->show();
    }
    void openThree()
    {
        open({{0, at(6, 0), at(6, 30)}, {0, at(12, 0), at(12, 45)}, {0, at(20, 15, 10), at(21, 0)}});
    }
    QPushButton *button(const char *name) const
    {
        return m_dialog->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QPushButton *standardButton(QDialogButtonBox::StandardButton which) const
    {
        return m_dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttons"))->button(which);
    }
    std::vector<int> startHours() const
    {
        std::vector<int> hours;
        for (const TimedRecording &entry : m_dialog->entries())
            hours.push_back(timeOfDay(entry.start).hour());
        return hours;
    }
    int visibleRows() const
    {
        int shown = 0;
        for (int row = 0; row < TimedRecordingDialog::kRows; ++row) {
            EXPECT_EQ(m_dialog->startPicker(row)->isVisible(), m_dialog->endPicker(row)->isVisible());
            shown += m_dialog->startPicker(row)->isVisible() ? 1 : 0;
        }
        return shown;
    }

    RecorderSettings m_settings;
    std::unique_ptr<TimedRecordingDialog> m_dialog;
};

TEST_F(TimedRecordingDialogTest, ShowsOneRowPerEntryAndSelectsTheFirst)
{
    openThree();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Time Record Setup"));
    EXPECT_EQ(m_dialog->findChild<QLabel *>(QStringLiteral("startHeading"))->text(), QStringLiteral("Start"));
    EXPECT_EQ(m_dialog->findChild<QLabel *>(QStringLiteral("endHeading"))->text(), QStringLiteral("End"));
    EXPECT_EQ(button("addButton")->text(), QStringLiteral("Add"));
    EXPECT_EQ(button("deleteButton")->text(), QStringLiteral("Delete"));
    EXPECT_EQ(visibleRows(), 3);
    EXPECT_EQ(m_dialog->startPicker(2)->time(), QTime(20, 15, 10));
    EXPECT_EQ(m_dialog->endPicker(1)->time(), QTime(12, 45));
    EXPECT_EQ(m_dialog->startPicker(0)->displayFormat(), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(m_dialog->selectedRow(), 0);
    EXPECT_TRUE(m_dialog->isHighlighted(0));
    EXPECT_FALSE(m_dialog->isHighlighted(1));
    test::saveScreenshot(*m_dialog, QStringLiteral("timedrecordingdialog.png"));
}

TEST_F(TimedRecordingDialogTest, EmptyListHasNoSelectionAndDeleteDoesNothing)
{
    open({});
    EXPECT_EQ(visibleRows(), 0);
    EXPECT_EQ(m_dialog->selectedRow(), -1);
    m_dialog->deleteEntry();
    EXPECT_TRUE(m_dialog->entries().isEmpty());
}

TEST_F(TimedRecordingDialogTest, AClickOnEitherPickerSelectsItsRow)
{
    openThree();
    QTest::mouseClick(m_dialog->endPicker(2)->findChild<QLineEdit *>(), Qt::LeftButton);
    EXPECT_EQ(m_dialog->selectedRow(), 2);
    EXPECT_TRUE(m_dialog->isHighlighted(2));
    EXPECT_FALSE(m_dialog->isHighlighted(0));
    EXPECT_EQ(m_dialog->endPicker(2)->palette().color(QPalette::Base),
              m_dialog->palette().color(QPalette::Highlight));
    EXPECT_EQ(m_dialog->startPicker(0)->palette().color(QPalette::Base),
              m_dialog->palette().color(QPalette::Base));
    test::saveScreenshot(*m_dialog, QStringLiteral("timedrecordingdialog-row3.png"));

    QTest::mouseClick(m_dialog->startPicker(1), Qt::RightButton);
    EXPECT_EQ(m_dialog->selectedRow(), 2);
    QTest::mouseClick(m_dialog->startPicker(1), Qt::LeftButton);
    EXPECT_EQ(m_dialog->selectedRow(), 1);
}

TEST_F(TimedRecordingDialogTest, AddAppendsTenMinutesFromNowUpToTenRows)
{
    openThree();
    button("addButton")->click();
    ASSERT_EQ(m_dialog->entries().size(), 4);
    const TimedRecording added = m_dialog->entries().back();
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(added.start), QDateTime(QDate(2026, 5, 14), QTime(13, 20, 5)));
    EXPECT_EQ(added.end - added.start, 600);
    EXPECT_EQ(added.flag, 0);
    EXPECT_EQ(m_dialog->endPicker(3)->time(), QTime(13, 30, 5));
    EXPECT_EQ(m_dialog->selectedRow(), 3);
    EXPECT_TRUE(m_dialog->isHighlighted(3));
    EXPECT_FALSE(m_dialog->isHighlighted(0));

    for (int i = 0; i < 10; ++i)
        m_dialog->addEntry();
    EXPECT_EQ(m_dialog->entries().size(), 10);
    EXPECT_EQ(visibleRows(), 10);
    EXPECT_EQ(m_dialog->selectedRow(), 9);
    test::saveScreenshot(*m_dialog, QStringLiteral("timedrecordingdialog-full.png"));
}

TEST_F(TimedRecordingDialogTest, DeleteMovesLaterRowsUpAndKeepsASelection)
{
    openThree();
    m_dialog->selectRow(1);
    button("deleteButton")->click();
    EXPECT_EQ(startHours(), (std::vector<int>{6, 20}));
    EXPECT_EQ(visibleRows(), 2);
    EXPECT_EQ(m_dialog->selectedRow(), 1);
    EXPECT_TRUE(m_dialog->isHighlighted(1));

    // The last row gone, the one before it is selected; then none is left.
    m_dialog->deleteEntry();
    EXPECT_EQ(startHours(), std::vector<int>{6});
    EXPECT_EQ(m_dialog->selectedRow(), 0);
    EXPECT_TRUE(m_dialog->isHighlighted(0));
    m_dialog->deleteEntry();
    EXPECT_TRUE(m_dialog->entries().isEmpty());
    EXPECT_EQ(m_dialog->selectedRow(), -1);
    EXPECT_FALSE(m_dialog->isHighlighted(0));
}

TEST_F(TimedRecordingDialogTest, PickerEditsSurviveAddAndDelete)
{
    openThree();
    m_dialog->startPicker(2)->setTime(QTime(22, 0, 0));
    m_dialog->addEntry();
    EXPECT_EQ(m_dialog->startPicker(2)->time(), QTime(22, 0, 0));
    m_dialog->endPicker(3)->setTime(QTime(23, 59, 59));
    m_dialog->selectRow(0);
    m_dialog->deleteEntry();
    EXPECT_EQ(m_dialog->startPicker(1)->time(), QTime(22, 0, 0));
    EXPECT_EQ(m_dialog->endPicker(2)->time(), QTime(23, 59, 59));
}

TEST_F(TimedRecordingDialogTest, OkStoresThePickersOnTheEntriesOwnDates)
{
    openThree();
    m_dialog->startPicker(0)->setTime(QTime(7, 5, 9));
    m_dialog->endPicker(2)->setTime(QTime(23, 0, 1));
    standardButton(QDialogButtonBox::Ok)->click();

    const QList<TimedRecording> stored = m_settings.timedRecordings();
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].start, at(7, 5, 9));
    EXPECT_EQ(stored[0].end, at(6, 30));
    EXPECT_EQ(stored[1], (TimedRecording{0, at(12, 0), at(12, 45)}));
    EXPECT_EQ(stored[2].end, at(23, 0, 1));
}

TEST_F(TimedRecordingDialogTest, CancelStoresNothing)
{
    openThree();
    const QList<TimedRecording> before = m_settings.timedRecordings();
    m_dialog->startPicker(1)->setTime(QTime(1, 2, 3));
    m_dialog->addEntry();
    m_dialog->selectRow(0);
    m_dialog->deleteEntry();
    standardButton(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(m_settings.timedRecordings(), before);
}

} // namespace
} // namespace sonavell
