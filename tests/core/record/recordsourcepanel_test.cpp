#include "core/record/recordsourcepanel.h"

#include "core/settings/silencetest.h"
#include "platform/fakemixer.h"

#include <gtest/gtest.h>

namespace sonavell {
namespace {

using Kind = MixerSelector::Kind;

class RecordSourcePanelTest : public testing::Test
{
protected:
    void SetUp() override { recordLevel = 0; }
    void TearDown() override { recordLevel = 0; }

    int visibleRows(const RecordSourcePanel &panel) const
    {
        int visible = 0;
        for (int i = 0; i < RecordSourcePanel::kRows; ++i)
            visible += panel.row(i).visible ? 1 : 0;
        return visible;
    }

    FakeMixer fake;
};

TEST_F(RecordSourcePanelTest, ThreeInputsShowThreeRows)
{
    fake.addSource(QStringLiteral("Microphone"), 0, 65535, 100);
    fake.addSource(QStringLiteral("Line In"), 0, 65535, 200);
    fake.addSource(QStringLiteral("CD"), 0, 31, 30);
    RecordSourcePanel panel(fake);
    int notified = 0;
    panel.setRowsChanged([&] { ++notified; });
    panel.showRows();
    EXPECT_EQ(panel.count(), 3);
    EXPECT_EQ(visibleRows(panel), 3);
    EXPECT_EQ(panel.row(2).caption, QStringLiteral("CD"));
    EXPECT_EQ(panel.row(2).maximum, 31u);
    EXPECT_EQ(panel.row(2).position, 30u);
    EXPECT_FALSE(panel.row(3).visible);
    EXPECT_EQ(notified, 1);
}

TEST_F(RecordSourcePanelTest, InputsBeyondTheEighthHaveNoRow)
{
    for (int i = 0; i < 10; ++i)
        fake.addSource(QStringLiteral("In %1").arg(i));
    RecordSourcePanel panel(fake);
    panel.showRows();
    EXPECT_EQ(panel.count(), 10);
    EXPECT_EQ(visibleRows(panel), 8);
}

TEST_F(RecordSourcePanelTest, NoRecordingLineLeavesRowsAndDoesNothing)
{
    fake.addSource(QStringLiteral("Mic"));
    fake.setCaptureDestination(false);
    RecordSourcePanel panel(fake);
    panel.create();
    panel.initialise();
    panel.sliderMoved(0, 99);
    EXPECT_EQ(panel.count(), 0);
    EXPECT_EQ(visibleRows(panel), 0);
    EXPECT_EQ(fake.totalWrites(), 0);
    EXPECT_EQ(recordLevel.load(), 0);
}

TEST_F(RecordSourcePanelTest, MissingVolumeControlShiftsRowsOntoTheRightInputs)
{
    fake.addSource(QStringLiteral("Mic"), 0, 100, 1);
    fake.addSourceWithoutVolume(QStringLiteral("Phone"));
    fake.addSource(QStringLiteral("Line"), 0, 100, 2);
    fake.addSource(QStringLiteral("CD"), 0, 100, 3);
    fake.setSelector(Kind::Multiplexer, {QStringLiteral("Mic"), QStringLiteral("Phone"), QStringLiteral("Line"),
                                         QStringLiteral("CD")}, 0);
    RecordSourcePanel panel(fake);
    panel.create();
    panel.initialise();
    ASSERT_EQ(panel.count(), 3);
    EXPECT_EQ(panel.row(2).caption, QStringLiteral("CD"));

    panel.radioClicked(2);
    EXPECT_EQ(fake.checkedItem(), 3);
    panel.sliderMoved(2, 77);
    EXPECT_EQ(fake.source(3).values, (std::vector<std::uint32_t>{77}));
    EXPECT_EQ(fake.source(2).values, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(recordLevel.load(), 77);
}

TEST_F(RecordSourcePanelTest, SliderOfAnUnchosenRowWritesNothingUntilChosen)
{
    fake.addSource(QStringLiteral("Mic"), 0, 100, 10);
    fake.addSource(QStringLiteral("Line"), 0, 100, 20);
    fake.setSelector(Kind::Multiplexer, {QStringLiteral("Mic"), QStringLiteral("Line")}, 0);
    RecordSourcePanel panel(fake);
    panel.create();
    panel.initialise();
    EXPECT_EQ(panel.chosen(), 0);
    EXPECT_EQ(recordLevel.load(), 10);

    panel.sliderMoved(1, 90);
    EXPECT_EQ(fake.source(1).values, (std::vector<std::uint32_t>{20}));
    EXPECT_EQ(fake.source(1).writes, 0);
    // The chosen row's own level is written again as it stands.
    EXPECT_EQ(fake.source(0).values, (std::vector<std::uint32_t>{10}));
    EXPECT_EQ(recordLevel.load(), 10);

    panel.radioClicked(1);
    EXPECT_EQ(fake.source(1).values, (std::vector<std::uint32_t>{90}));
    EXPECT_EQ(fake.checkedItem(), 1);
    EXPECT_EQ(recordLevel.load(), 90);
}

TEST_F(RecordSourcePanelTest, LoadTakesTheMixerLevelsAndSetsTheRecordLevel)
{
    fake.addSource(QStringLiteral("Mic"), 0, 65535, 10);
    fake.addSource(QStringLiteral("Line"), 0, 65535, 20);
    fake.setSelector(Kind::Multiplexer, {QStringLiteral("Line"), QStringLiteral("Mic")}, 0);
    RecordSourcePanel panel(fake);
    panel.create();
    EXPECT_EQ(panel.chosen(), 1);
    panel.initialise();
    fake.source(1).values = {65535};
    panel.load();
    EXPECT_EQ(panel.row(1).position, 65535u);
    EXPECT_EQ(recordLevel.load(), 65535);
    EXPECT_EQ(fake.totalWrites(), 0);
}

TEST_F(RecordSourcePanelTest, SetupAcceptedListsTheNewMixerAndWritesTheChosenSlider)
{
    fake.addSource(QStringLiteral("Mic"), 0, 100, 10);
    RecordSourcePanel panel(fake);
    panel.create();
    panel.initialise();
    fake.addSource(QStringLiteral("Line"), 0, 100, 20);
    panel.setupAccepted();
    EXPECT_EQ(panel.count(), 2);
    EXPECT_TRUE(panel.row(1).visible);
    EXPECT_EQ(fake.source(0).writes, 1);
}

} // namespace
} // namespace sonavell
