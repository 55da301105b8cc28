#include "core/record/recordmixer.h"
#include "platform/alsamixer.h"

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// Without a sound card (as on a build machine) every mixer operation fails quietly; with one,
// the mixer at least opens and closes again.
TEST(AlsaMixer, UnknownControlDeviceFailsToOpenAndSaysWhich)
{
    AlsaMixer mixer(QStringLiteral("hw:sonavell-no-such-card"));
    EXPECT_FALSE(mixer.open(1));
    EXPECT_TRUE(mixer.errorText().contains(QStringLiteral("hw:sonavell-no-such-card")));
    EXPECT_FALSE(mixer.captureDestination());
    EXPECT_FALSE(mixer.captureSelector());
    EXPECT_EQ(mixer.captureSourceCount(), 0);

    RecordMixer record(mixer);
    QList<RecordSource> sources;
    EXPECT_FALSE(record.listSources(sources));
    EXPECT_EQ(record.currentSource(), 0);
    EXPECT_EQ(record.outputLine().maximum, 0u);
}

TEST(AlsaMixer, DeviceNumbersBeyondTheCardsFail)
{
    AlsaMixer mixer;
    EXPECT_FALSE(mixer.open(1000));
}

TEST(AlsaMixer, DefaultMixerOpensAndClosesOrFailsCleanly)
{
    AlsaMixer mixer;
    if (!mixer.open(1)) {
        EXPECT_FALSE(mixer.errorText().isEmpty());
        return;
    }
    if (const auto destination = mixer.captureDestination()) {
        EXPECT_GE(destination->channels, 1);
    }
    mixer.close();
    EXPECT_TRUE(mixer.open(1));
    mixer.close();
}

} // namespace
} // namespace sonavell
