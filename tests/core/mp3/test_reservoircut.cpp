// Cuts of files whose frames lean on the bit reservoir: the kept frames decode exactly as in the
// original, the frames taken along before them hide behind the Info frame's encoder delay, and
// the counts in that frame are the copy's.

#include "core/mp3/framereader.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/lametag.h"
#include "core/mp3/mp3fileinfo.h"

#include "decodedmp3.h"
#include "mp3files.h"
#include "testsupport.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace sonavell;
using namespace sonavell::test;

namespace {

struct Frame
{
    QByteArray bytes;
    bool isInfo = false;
};

std::vector<Frame> framesOf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    FrameReader reader(buffer);
    FrameWalker walker(reader);
    std::vector<Frame> frames;
    MpegFrame frame;
    while (walker.next(frame))
        frames.push_back({QByteArray(reinterpret_cast<const char *>(frame.bytes), frame.length), frame.isVbrHeader});
    return frames;
}

std::uint32_t bigEndian(const QByteArray &bytes, int at, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// What the Info frame of a copy says, read by the layout LAME documents.
struct InfoFields
{
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    int delay = 0;
    int padding = 0;
    std::uint32_t musicLength = 0;
    std::uint16_t musicCrc = 0;
    std::uint16_t tagCrc = 0;
    std::uint16_t tagCrcComputed = 0;
};

InfoFields readInfo(const QByteArray &frame)
{
    const std::uint32_t header = bigEndian(frame, 0, 4);
    const int xing = mpeg::sideInfoEnd(mpeg::version(header), mpeg::channelMode(header));
    const int lame = xing + lametag::kXingSize;
    InfoFields info;
    info.frames = bigEndian(frame, xing + 8, 4);
    info.bytes = bigEndian(frame, xing + 12, 4);
    const std::uint32_t delays = bigEndian(frame, lame + lametag::kDelayOffset, 3);
    info.delay = int(delays >> 12);
    info.padding = int(delays & 0xFFF);
    info.musicLength = bigEndian(frame, lame + lametag::kMusicLengthOffset, 4);
    info.musicCrc = std::uint16_t(bigEndian(frame, lame + lametag::kMusicCrcOffset, 2));
    info.tagCrc = std::uint16_t(bigEndian(frame, lame + lametag::kTagCrcOffset, 2));
    info.tagCrcComputed =
        lametag::crc16(reinterpret_cast<const unsigned char *>(frame.constData()), std::size_t(lame + lametag::kTagCrcOffset));
    return info;
}

// Our gapless path: a decoder that honours the Info frame skips its encoder delay plus its own
// delay of 529 samples.
std::vector<short> gaplessPcm(const DecodedMp3 &decoded, const InfoFields &info)
{
    const auto skip = std::size_t(info.delay + lametag::kDecoderDelay) * std::size_t(decoded.channels);
    return std::vector<short>(decoded.pcm.begin() + std::ptrdiff_t(std::min(skip, decoded.pcm.size())), decoded.pcm.end());
}

bool equalRange(const std::vector<short> &a, std::size_t aFrom, const std::vector<short> &b, std::size_t bFrom,
                std::size_t count)
{
    return aFrom + count <= a.size() && bFrom + count <= b.size()
        && std::equal(a.begin() + std::ptrdiff_t(aFrom), a.begin() + std::ptrdiff_t(aFrom + count),
                      b.begin() + std::ptrdiff_t(bFrom));
}

struct ReservoirCase
{
    const char *name;
    int rate;
    int channels;
    int kbps;
    bool noise;
    bool reservoir; // encoded with the reservoir on; off is how our Mp3Encoder writes
    bool crc = false;
};

class ReservoirCut : public testing::TestWithParam<ReservoirCase>
{
protected:
    void SetUp() override
    {
        const ReservoirCase &c = GetParam();
        const QByteArray pcm = c.noise ? noisePcm(c.rate, c.channels, 3.0, 12000) : sinePcm(c.rate, c.channels, 3.0, 440, 12000);
        ASSERT_TRUE(c.reservoir ? makeReservoirMp3(m_path, pcm, c.rate, c.channels, c.kbps, c.crc)
                                : makeMp3(m_path, pcm, c.rate, c.channels, c.kbps));
        for (Frame &frame : framesOf(readAll(m_path))) {
            if (!frame.isInfo)
                m_frames.push_back(frame.bytes);
        }
        m_samples = c.rate > 32000 ? 1152 : 576;
        m_original = decodeMp3File(m_path);
        ASSERT_EQ(m_original.errors, 0);
        ASSERT_EQ(m_original.audioFrames, int(m_frames.size()));
    }

    // The frame that a time falls in, as the copy times frames by their ends.
    int frameAt(double seconds) const
    {
        const int frame = int(std::ceil(seconds * GetParam().rate / m_samples)) - 1;
        return std::clamp(frame, 0, int(m_frames.size()) - 1);
    }

    QByteArray sourceFrames(int first, int last) const
    {
        QByteArray bytes;
        for (int i = first; i <= last; ++i)
            bytes += m_frames[std::size_t(i)];
        return bytes;
    }

    std::size_t values(int frames) const { return std::size_t(frames) * std::size_t(m_samples * GetParam().channels); }

    // Checks the cut of frames first … last: its Info frame, its bytes, and its decoding with
    // libmad and with the gapless path. Gives the frames taken along before the first.
    int checkCut(int first, int last)
    {
        const QByteArray cut = readAll(m_cut);
        const std::vector<Frame> frames = framesOf(cut);
        const int kept = last - first + 1;
        const bool hasInfo = !frames.empty() && frames.front().isInfo;
        const int audio = int(frames.size()) - (hasInfo ? 1 : 0);
        const int before = audio - kept;
        EXPECT_GE(before, 0);
        if (before <= 0) {
            EXPECT_FALSE(hasInfo);
            EXPECT_EQ(cut, sourceFrames(first, last));
            return 0;
        }
        EXPECT_TRUE(hasInfo);
        EXPECT_LE(before, first);
        if (!hasInfo || before > first)
            return before;

        // Kept frames are the source's, byte for byte; those before them too, apart from a
        // silenced side information.
        const QByteArray info = frames.front().bytes;
        EXPECT_EQ(cut.mid(info.size() + sourceFrames(first - before, first - 1).size()), sourceFrames(first, last));
        for (int i = 0; i < before; ++i) {
            const QByteArray &copied = frames[std::size_t(i) + 1].bytes;
            const QByteArray &source = m_frames[std::size_t(first - before + i)];
            const int sideEnd = mpeg::mainDataOffset(bigEndian(source, 0, 4));
            EXPECT_EQ(copied.left(4), source.left(4));
            EXPECT_EQ(copied.mid(sideEnd), source.mid(sideEnd));
            // Silenced: side information of zeros, main_data_begin aside.
            const int sideStart = GetParam().crc ? 6 : 4;
            QByteArray side = copied.mid(sideStart, sideEnd - sideStart);
            side[0] = 0;
            if (m_samples == 1152)
                side[1] = char(side[1] & 0x7F);
            EXPECT_TRUE(copied == source || side == QByteArray(side.size(), '\0'));
        }

        const InfoFields fields = readInfo(info);
        EXPECT_EQ(fields.frames, std::uint32_t(audio));
        EXPECT_EQ(fields.bytes, std::uint32_t(cut.size()));
        EXPECT_EQ(fields.musicLength, std::uint32_t(cut.size()));
        EXPECT_EQ(fields.tagCrc, fields.tagCrcComputed);
        const QByteArray music = cut.mid(info.size());
        EXPECT_EQ(fields.musicCrc, lametag::crc16(reinterpret_cast<const unsigned char *>(music.constData()), std::size_t(music.size())));
        EXPECT_EQ(fields.delay, std::min(lametag::kMaxDelay, before * m_samples - lametag::kDecoderDelay));
        EXPECT_EQ(fields.padding, 0);

        // libmad: no damaged frame, and from the first kept frame on the original's samples.
        const DecodedMp3 decoded = decodeMp3(cut);
        EXPECT_EQ(decoded.errors, 0);
        EXPECT_TRUE(decoded.hasInfoFrame);
        EXPECT_EQ(decoded.audioFrames, audio);
        EXPECT_TRUE(equalRange(decoded.pcm, values(before), m_original.pcm, values(first), values(kept)));
        // The gapless path starts right at the first kept frame, unless the delay field ran
        // out of bits; then it starts the rest of the way early.
        const std::vector<short> gapless = gaplessPcm(decoded, fields);
        const std::size_t early = values(before) - std::size_t(fields.delay + lametag::kDecoderDelay) * std::size_t(GetParam().channels);
        if (fields.delay < lametag::kMaxDelay) {
            EXPECT_EQ(early, 0u);
        }
        EXPECT_TRUE(equalRange(gapless, early, m_original.pcm, values(first), values(kept)));
        return before;
    }

    TempFolder m_folder;
    QString m_path = m_folder.file(QStringLiteral("source.mp3"));
    QString m_cut = m_folder.file(QStringLiteral("cut.mp3"));
    std::vector<QByteArray> m_frames;
    int m_samples = 0;
    DecodedMp3 m_original;
};

TEST_P(ReservoirCut, MiddleCutDecodesAsTheOriginal)
{
    Mp3FileInfo copier;
    ASSERT_TRUE(copier.copyFramesByTime(m_path, m_cut, 1.01f, 2.01f));
    const int first = frameAt(1.01);
    const int kept = frameAt(2.01) - first + 1;
    const int before = checkCut(first, first + kept - 1);
    EXPECT_EQ(before > 0, GetParam().reservoir);
    if (before <= 0)
        return;
    // As few as needed: without its oldest frame before the cut the copy no longer decodes so.
    const QByteArray cut = readAll(m_cut);
    const std::vector<Frame> frames = framesOf(cut);
    const QByteArray shorter = frames[0].bytes + cut.mid(frames[0].bytes.size() + frames[1].bytes.size());
    const DecodedMp3 decoded = decodeMp3(shorter);
    EXPECT_FALSE(decoded.errors == 0
                 && equalRange(decoded.pcm, values(before - 1), m_original.pcm, values(first), values(kept)));
}

TEST_P(ReservoirCut, CutToTheEndEndsWithTheLastWholeFrame)
{
    Mp3FileInfo copier;
    ASSERT_TRUE(copier.copyFramesByTime(m_path, m_cut, 2.01f, 1.0e6f));
    checkCut(frameAt(2.01), int(m_frames.size()) - 1);
    EXPECT_TRUE(readAll(m_cut).endsWith(m_frames.back()));
}

TEST_P(ReservoirCut, CutsFromTheFirstFrameAreTheBareFrames)
{
    for (const float start : {0.0f, 0.005f}) {
        Mp3FileInfo copier;
        ASSERT_TRUE(copier.copyFramesByTime(m_path, m_cut, start, 1.01f));
        EXPECT_EQ(readAll(m_cut), sourceFrames(0, frameAt(1.01))) << "start " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ReservoirCut,
    testing::Values(ReservoirCase{"noise_44100_stereo_32k", 44100, 2, 32, true, true},
                    ReservoirCase{"tone_44100_stereo_64k", 44100, 2, 64, false, true},
                    ReservoirCase{"noise_44100_stereo_40k_crc", 44100, 2, 40, true, true, true},
                    ReservoirCase{"noise_22050_mono_16k_crc", 22050, 1, 16, true, true, true},
                    ReservoirCase{"noise_44100_mono_96k", 44100, 1, 96, true, true},
                    ReservoirCase{"noise_22050_stereo_24k", 22050, 2, 24, true, true},
                    ReservoirCase{"noise_11025_mono_8k", 11025, 1, 8, true, true},
                    ReservoirCase{"tone_44100_stereo_128k_no_reservoir", 44100, 2, 128, false, false},
                    ReservoirCase{"noise_22050_mono_32k_no_reservoir", 22050, 1, 32, true, false}),
    [](const testing::TestParamInfo<ReservoirCase> &info) { return std::string(info.param.name); });

TEST(LameTag, Crc16IsLamesChecksum)
{
    // The check value of CRC-16/ARC, the variant LAME's table computes.
    const char text[] = "123456789";
    EXPECT_EQ(lametag::crc16(reinterpret_cast<const unsigned char *>(text), 9), 0xBB3D);
}

} // namespace
