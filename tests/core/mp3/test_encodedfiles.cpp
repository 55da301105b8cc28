// Files from our own encoder: what the scanner, the length query and the frame copy say about
// them is checked against libmad's own reading of the same bytes.

#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include "decodedmp3.h"
#include "mp3files.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

using namespace sonavell;
using namespace sonavell::test;

namespace {

struct EncodedCase
{
    const char *name;
    int rate;
    int channels;
    int kbps;
    MpegVersion version;
    int samplesPerFrame;
};

class EncodedFile : public testing::TestWithParam<EncodedCase>
{
protected:
    void SetUp() override
    {
        const EncodedCase &c = GetParam();
        ASSERT_TRUE(makeMp3(m_path, sinePcm(c.rate, c.channels, 4.0, 440, 10000), c.rate, c.channels, c.kbps));
        m_decoded = decodeMp3File(m_path);
        ASSERT_GT(m_decoded.audioFrames, 0);
    }

    qint64 milliseconds(qint64 frames) const
    {
        return std::llround(double(frames) * GetParam().samplesPerFrame * 1000.0 / GetParam().rate);
    }

    TempFolder m_folder;
    QString m_path = m_folder.file(QStringLiteral("tone.mp3"));
    QString m_cut = m_folder.file(QStringLiteral("cut.mp3"));
    DecodedMp3 m_decoded;
};

TEST_P(EncodedFile, ScanMatchesTheEncoding)
{
    const EncodedCase &c = GetParam();
    const Mp3FileInfo info(m_path);
    EXPECT_TRUE(info.hasHeader());
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(info.layer, 3);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.bitrateKbps, c.kbps);
    EXPECT_EQ(info.channelMode == 3, c.channels == 1);
    EXPECT_EQ(info.durationSeconds, milliseconds(m_decoded.audioFrames) / 1000);
}

TEST_P(EncodedFile, LengthFromTagAndFromWalkAgreeWithTheDecoder)
{
    const qint64 expected = milliseconds(m_decoded.audioFrames);
    EXPECT_EQ(queryMediaLength(m_path), expected);

    // The whole file copied: the Info frame stays behind, so the copy's length is walked.
    Mp3FileInfo copier;
    ASSERT_TRUE(copier.copyFramesByTime(m_path, m_cut, 0.0f, 1.0e6f));
    const DecodedMp3 copy = decodeMp3File(m_cut);
    EXPECT_FALSE(copy.hasInfoFrame);
    EXPECT_EQ(copy.audioFrames, m_decoded.audioFrames);
    EXPECT_EQ(queryMediaLength(m_cut), expected);
}

TEST_P(EncodedFile, CutHoldsTheFramesEndingInTheWindow)
{
    const EncodedCase &c = GetParam();
    Mp3FileInfo copier;
    ASSERT_TRUE(copier.copyFramesByTime(m_path, m_cut, 1.0f, 2.5f));
    // Frame i ends at (i + 1) * samplesPerFrame / rate.
    const int first = int(std::ceil(1.0 * c.rate / c.samplesPerFrame)) - 1;
    const int last = int(std::ceil(2.5 * c.rate / c.samplesPerFrame)) - 1;
    const DecodedMp3 cut = decodeMp3File(m_cut);
    EXPECT_FALSE(cut.hasInfoFrame);
    // Our encoder leaves the bit reservoir unused, so the cut is the bare frames and decodes whole.
    EXPECT_EQ(queryMediaLength(m_cut), milliseconds(last - first + 1));
    EXPECT_EQ(cut.audioFrames, last - first + 1);
    EXPECT_EQ(cut.errors, 0);
}

TEST_P(EncodedFile, TagRoundTripKeepsTheAudio)
{
    const QByteArray original = readAll(m_path);
    Mp3FileInfo info(m_path);
    info.title = QStringLiteral("Tone");
    info.track = 2;
    info.genre = 52;
    ASSERT_TRUE(info.writeTag(QString(), false));
    EXPECT_EQ(readAll(m_path).left(original.size()), original);
    const Mp3FileInfo tagged(m_path);
    EXPECT_EQ(tagged.title, QStringLiteral("Tone"));
    EXPECT_EQ(tagged.durationSeconds, info.durationSeconds);
    EXPECT_EQ(decodeMp3File(m_path).audioFrames, m_decoded.audioFrames);
    ASSERT_TRUE(info.writeTag(QString(), true));
    EXPECT_EQ(readAll(m_path), original);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EncodedFile,
    testing::Values(EncodedCase{"Stereo44100", 44100, 2, 128, MpegVersion::Mpeg1, 1152},
                    EncodedCase{"Mono44100", 44100, 1, 160, MpegVersion::Mpeg1, 1152},
                    EncodedCase{"Stereo22050", 22050, 2, 64, MpegVersion::Mpeg2, 576},
                    EncodedCase{"Mono11025", 11025, 1, 32, MpegVersion::Mpeg25, 576},
                    EncodedCase{"Mono8000NoInfoTag", 8000, 1, 16, MpegVersion::Mpeg25, 576}),
    [](const testing::TestParamInfo<EncodedCase> &info) { return std::string(info.param.name); });

} // namespace
