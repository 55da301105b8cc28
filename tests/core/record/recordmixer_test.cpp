#include "core/record/recordmixer.h"

#include "platform/fakemixer.h"

#include <gtest/gtest.h>

#include <ostream>

namespace sonavell {
namespace {

using Kind = MixerSelector::Kind;

QStringList names(const QList<RecordSource> &sources)
{
    QStringList result;
    for (const RecordSource &source : sources)
        result.append(source.name);
    return result;
}

TEST(RecordMixer, ListsInputsWithVolumeInMixerOrderAndClosesTheMixer)
{
    FakeMixer fake;
    fake.addSource(QStringLiteral("Microphone"), 0, 65535, 1000);
    fake.addSourceWithoutVolume(QStringLiteral("Line In"));
    fake.addSource(QStringLiteral("CD"), 10, 31, 20, 2, false);
    mixerDevice = 3;
    RecordMixer mixer(fake);
    QList<RecordSource> sources;
    ASSERT_TRUE(mixer.listSources(sources));
    EXPECT_EQ(names(sources), (QStringList{QStringLiteral("Microphone"), QStringLiteral("CD")}));
    EXPECT_EQ(sources[1].minimum, 10u);
    EXPECT_EQ(sources[1].maximum, 31u);
    EXPECT_EQ(sources[1].level, 20u);
    EXPECT_EQ(sources[1].sourceLine, 2);
    EXPECT_EQ(fake.openedDevice(), 3);
    EXPECT_FALSE(fake.isOpen());
    mixerDevice = 1;
}

TEST(RecordMixer, NoMixerOrNoRecordingLineListsNothing)
{
    FakeMixer noDestination;
    noDestination.addSource(QStringLiteral("Mic"));
    noDestination.setCaptureDestination(false);
    QList<RecordSource> sources{RecordSource{}};
    EXPECT_FALSE(RecordMixer(noDestination).listSources(sources));
    EXPECT_TRUE(sources.isEmpty());
    EXPECT_EQ(RecordMixer(noDestination).currentSource(), 0);

    FakeMixer broken;
    broken.setOpenFails(true);
    EXPECT_FALSE(RecordMixer(broken).listSources(sources));
    EXPECT_EQ(RecordMixer(broken).currentSource(), 0);
    RecordMixer(broken).selectSource(1);
    RecordMixer(broken).setSourceLevel(0, 5);
    EXPECT_EQ(RecordMixer(broken).outputLine().maximum, 0u);
}

// Inputs and selector items, the item the mixer has checked, the row currentSource reports.
struct CurrentCase
{
    const char *name;
    QStringList inputs;
    QStringList items;
    int checked;
    Kind kind;
    int expectedRow;
};

void PrintTo(const CurrentCase &c, std::ostream *out)
{
    *out << c.name;
}

class CurrentSourceTest : public testing::TestWithParam<CurrentCase> {};

TEST_P(CurrentSourceTest, MapsTheCheckedItemToItsRow)
{
    const CurrentCase &c = GetParam();
    FakeMixer fake;
    for (const QString &input : c.inputs)
        fake.addSource(input);
    fake.setSelector(c.kind, c.items, c.checked);
    EXPECT_EQ(RecordMixer(fake).currentSource(), c.expectedRow);
    EXPECT_FALSE(fake.isOpen());
}

const QStringList kThree{QStringLiteral("Mic"), QStringLiteral("Line"), QStringLiteral("CD")};
const QStringList kThreeReversed{QStringLiteral("CD"), QStringLiteral("Line"), QStringLiteral("Mic")};
QStringList numbered(int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items.append(QStringLiteral("Item %1").arg(i));
    return items;
}

INSTANTIATE_TEST_SUITE_P(
    RecordMixer, CurrentSourceTest,
    testing::Values(
        CurrentCase{"SameOrder", kThree, kThree, 1, Kind::Multiplexer, 1},
        CurrentCase{"ReverseOrder", kThree, kThreeReversed, 0, Kind::Multiplexer, 2},
        CurrentCase{"NoneChecked", kThree, kThree, -1, Kind::Multiplexer, 0},
        CurrentCase{"UnnamedItemGivesItsNumber", kThree, numbered(3), 2, Kind::SingleSelect, 2},
        CurrentCase{"ItemEightGivesRowZero", {}, numbered(9), 8, Kind::Multiplexer, 0},
        CurrentCase{"ItemSevenIsTheLastRow", {}, numbered(9), 7, Kind::Multiplexer, 7},
        CurrentCase{"NameBeyondRowSevenGivesRowZero", numbered(10), numbered(10), 9, Kind::Mixer, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordMixer, LastCheckedItemOfAMultipleSelectWins)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::MultipleSelect, kThree, 0);
    fake.selectorValues()[2] = 1;
    fake.selectorValues()[1] = 1;
    EXPECT_EQ(RecordMixer(fake).currentSource(), 2);
}

TEST(RecordMixer, FixedInputWithoutSelectorIsRowZeroAndCannotBeSwitched)
{
    FakeMixer fake;
    fake.addSource(QStringLiteral("Mic"));
    fake.addSource(QStringLiteral("Line"));
    RecordMixer mixer(fake);
    EXPECT_EQ(mixer.currentSource(), 0);
    mixer.selectSource(1);
    EXPECT_EQ(fake.totalWrites(), 0);
}

TEST(RecordMixer, SelectingInAReversedMultiplexerChecksTheNamedItem)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::Multiplexer, kThreeReversed, 2);
    RecordMixer mixer(fake);
    mixer.selectSource(0); // Mic, the last item
    EXPECT_EQ(fake.checkedItem(), 2);
    mixer.selectSource(2); // CD, the first item
    EXPECT_EQ(fake.selectorValues(), (std::vector<std::uint32_t>{1, 0, 0}));
    EXPECT_EQ(mixer.currentSource(), 2);
}

TEST(RecordMixer, MultipleSelectKeepsTheOtherItems)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::MultipleSelect, kThree, 0);
    RecordMixer(fake).selectSource(2);
    EXPECT_EQ(fake.selectorValues(), (std::vector<std::uint32_t>{1, 0, 1}));
}

TEST(RecordMixer, TwoChannelSelectorSetsFirstAndLastChannelOfTheTarget)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::Multiplexer, kThree, 0, /*uniform=*/false);
    RecordMixer mixer(fake);
    mixer.selectSource(1);
    EXPECT_EQ(fake.selectorValues(), (std::vector<std::uint32_t>{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(mixer.currentSource(), 1);
}

TEST(RecordMixer, RowWithoutANamedItemPicksTheItemOfThatNumber)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::Multiplexer, numbered(3), 0);
    RecordMixer(fake).selectSource(1);
    EXPECT_EQ(fake.checkedItem(), 1);
}

TEST(RecordMixer, RowBeyondTheItemsLeavesTheSelectorAlone)
{
    FakeMixer fake;
    for (const QString &input : kThree)
        fake.addSource(input);
    fake.setSelector(Kind::Multiplexer, numbered(2), 0);
    RecordMixer(fake).selectSource(2);
    EXPECT_EQ(fake.selectorWrites(), 0);
    EXPECT_EQ(fake.checkedItem(), 0);
}

TEST(RecordMixer, LevelGoesToTheSourceTheRowWasListedFrom)
{
    FakeMixer fake;
    fake.addSource(QStringLiteral("Mic"));
    fake.addSourceWithoutVolume(QStringLiteral("Aux"));
    fake.addSource(QStringLiteral("Line"));
    fake.addSource(QStringLiteral("CD"));
    RecordMixer(fake).setSourceLevel(1, 4242);
    EXPECT_EQ(fake.source(2).values, (std::vector<std::uint32_t>{4242}));
    EXPECT_EQ(fake.source(3).writes, 0);
    RecordMixer(fake).setSourceLevel(3, 1); // no such row
    EXPECT_EQ(fake.totalWrites(), 1);
}

struct LevelCase
{
    const char *name;
    int channels;
    bool uniform;
    std::vector<std::uint32_t> expected;
};

void PrintTo(const LevelCase &c, std::ostream *out)
{
    *out << c.name;
}

class LevelChannelsTest : public testing::TestWithParam<LevelCase> {};

TEST_P(LevelChannelsTest, FirstAndLastChannelTakeTheLevel)
{
    const LevelCase &c = GetParam();
    FakeMixer fake;
    fake.addSource(QStringLiteral("Mic"), 0, 100, 7, c.channels, c.uniform);
    fake.setOutput(0, 100, 7, c.channels, c.uniform);
    RecordMixer mixer(fake);
    mixer.setSourceLevel(0, 50);
    mixer.setOutputLevel(50);
    EXPECT_EQ(fake.source(0).values, c.expected);
    EXPECT_EQ(fake.output().values, c.expected);
}

INSTANTIATE_TEST_SUITE_P(RecordMixer, LevelChannelsTest,
                         testing::Values(LevelCase{"Uniform", 2, true, {50}},
                                         LevelCase{"TwoChannels", 2, false, {50, 50}},
                                         LevelCase{"ThreeChannelsKeepTheMiddle", 3, false, {50, 7, 50}},
                                         LevelCase{"Mono", 1, false, {50}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RecordMixer, OutputLineReportsBoundsAndFirstChannel)
{
    FakeMixer fake;
    fake.setOutput(5, 87, 40, 2, false);
    fake.output().values = {40, 60};
    const OutputLine output = RecordMixer(fake).outputLine();
    EXPECT_EQ(output.minimum, 5u);
    EXPECT_EQ(output.maximum, 87u);
    EXPECT_EQ(output.level, 40u);

    FakeMixer none;
    RecordMixer(none).setOutputLevel(3);
    EXPECT_EQ(RecordMixer(none).outputLine().maximum, 0u);
    EXPECT_EQ(none.totalWrites(), 0);
}

} // namespace
} // namespace sonavell
