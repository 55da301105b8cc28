#include "core/encode/mp3encoder.h"

#include "decodedmp3.h"
#include "core/encode/bufferhandoff.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "mp3files.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace sonavell {
namespace {

using test::pcmFormat;

// Encodes pcm chunk by chunk, the last chunk zero-padded, as file operations do.
bool encodeWhole(Mp3Encoder &encoder, const QByteArray &pcm)
{
    const auto chunk = static_cast<qsizetype>(encoder.bytesPerChunk());
    for (qsizetype at = 0; at < pcm.size(); at += chunk) {
        QByteArray piece = pcm.mid(at, chunk);
        piece.resize(chunk, '\0');
        encoder.encodeChunk(piece.constData());
    }
    return encoder.finish();
}

struct FormatCase
{
    int rate;
    int channels;
    int kbps;
    int samplesPerFrame;
    bool infoTag; // too small a frame has no room for the tag, and the library leaves it out
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.rate << "Hz_" << c.channels << "ch_" << c.kbps << "kbps";
}

class EncoderFormats : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(EncoderFormats, WritesConstantBitRateFramesWithAnInfoTag)
{
    const FormatCase c = GetParam();
    test::TempFolder folder;
    Mp3Encoder encoder;
    encoder.setFormat(pcmFormat(c.rate, c.channels));
    encoder.setPath(folder.file(QStringLiteral("tone.mp3")));
    encoder.setBitRate(c.kbps);
    ASSERT_TRUE(encoder.start(0)) << Mp3Encoder::errorText(encoder.error()).toStdString();
    EXPECT_EQ(encoder.bytesPerChunk(), static_cast<std::uint32_t>(2 * c.samplesPerFrame * c.channels));

    const double seconds = 2.0;
    ASSERT_TRUE(encodeWhole(encoder, test::sinePcm(c.rate, c.channels, seconds, 440, 12000)));

    const test::DecodedMp3 mp3 = test::decodeMp3File(encoder.path());
    EXPECT_EQ(mp3.layer, 3);
    EXPECT_EQ(mp3.sampleRate, c.rate);
    EXPECT_EQ(mp3.channels, c.channels);
    EXPECT_EQ(mp3.bitRates, std::set<int>{c.kbps});
    EXPECT_EQ(mp3.errors, 0);
    ASSERT_EQ(mp3.hasInfoFrame, c.infoTag);
    if (c.infoTag) {
        EXPECT_EQ(mp3.infoTagName, QByteArray("Info"));
        EXPECT_EQ(mp3.infoFrameCount, mp3.audioFrames);
    }
    // Encoder delay and padding add at most a few frames.
    EXPECT_GE(mp3.seconds(), seconds);
    EXPECT_LT(mp3.seconds(), seconds + 4.0 * c.samplesPerFrame / c.rate);
    // A sine of amplitude 12000 has mean absolute value 12000 * 2 / pi.
    EXPECT_NEAR(mp3.level(0.2, seconds - 0.2), 12000 * 2 / M_PI, 800);
}

INSTANTIATE_TEST_SUITE_P(Table, EncoderFormats,
                         ::testing::Values(FormatCase{44100, 2, 128, 1152, true}, FormatCase{44100, 1, 160, 1152, true},
                                           FormatCase{22050, 2, 64, 576, true}, FormatCase{11025, 1, 32, 576, true},
                                           FormatCase{8000, 1, 16, 576, false},
                                           // Modest bit rates keep the input's rate.
                                           FormatCase{44100, 2, 64, 1152, true}, FormatCase{44100, 1, 32, 1152, false},
                                           FormatCase{22050, 2, 32, 576, false}, FormatCase{8000, 1, 64, 576, true}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate, info.param.kbps);
                         });

struct SubstitutionCase
{
    const char *name;
    int rate;
    int kbps;
    bool substituted;
};

class EncoderSubstitution : public ::testing::TestWithParam<SubstitutionCase>
{
};

TEST_P(EncoderSubstitution, SaysWhenTheLibraryChangesTheBitRateOrRate)
{
    const SubstitutionCase &c = GetParam();
    test::TempFolder folder;
    Mp3Encoder encoder;
    encoder.setFormat(pcmFormat(c.rate, 2));
    encoder.setPath(folder.file(QStringLiteral("out.mp3")));
    encoder.setBitRate(c.kbps);
    ASSERT_TRUE(encoder.start());
    EXPECT_EQ(!encoder.substitutionNotice().isEmpty(), c.substituted) << encoder.substitutionNotice().toStdString();
    encoder.finish();
}

INSTANTIATE_TEST_SUITE_P(Rates, EncoderSubstitution,
                         ::testing::Values(SubstitutionCase{"full_128k", 44100, 128, false},
                                           // MPEG-1 has no 144 kbit/s.
                                           SubstitutionCase{"full_144k", 44100, 144, true},
                                           // Too low for 44100 Hz: the library resamples.
                                           SubstitutionCase{"full_16k", 44100, 16, true},
                                           SubstitutionCase{"low_16k", 8000, 16, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Mp3Encoder, CallerChunkSizeScalesTheOutputBuffer)
{
    test::TempFolder folder;
    Mp3Encoder plain;
    plain.setFormat(pcmFormat(44100, 2));
    plain.setPath(folder.file(QStringLiteral("a.mp3")));
    ASSERT_TRUE(plain.start(0));
    ASSERT_EQ(plain.bytesPerChunk(), 4608u);

    Mp3Encoder custom;
    custom.setFormat(pcmFormat(44100, 2));
    custom.setPath(folder.file(QStringLiteral("b.mp3")));
    ASSERT_TRUE(custom.start(10000));
    EXPECT_EQ(custom.bytesPerChunk(), 10000u);
    EXPECT_EQ(custom.outputBufferSize(), plain.outputBufferSize() * (10000 / 4608 + 1));
    ASSERT_TRUE(encodeWhole(custom, test::sinePcm(44100, 2, 1.0, 1000, 8000)));
    EXPECT_NEAR(test::decodeMp3File(custom.path()).seconds(), 1.0, 0.1);
}

TEST(Mp3Encoder, StartFailuresAreReportedAndLeaveNothingOpen)
{
    test::TempFolder folder;
    {
        Mp3Encoder encoder;
        encoder.setFormat(pcmFormat(44100, 2));
        encoder.setPath(folder.file(QStringLiteral("missing-dir/x.mp3")));
        EXPECT_FALSE(encoder.start(0));
        EXPECT_EQ(encoder.error(), Mp3Encoder::Error::FileNotCreated);
        EXPECT_EQ(encoder.encodeChunk(QByteArray(4608, '\0').constData()), 0u);
    }
    {
        Mp3Encoder encoder;
        encoder.setFormat(pcmFormat(0, 2));
        encoder.setPath(folder.file(QStringLiteral("no-rate.mp3")));
        EXPECT_FALSE(encoder.start(0));
        EXPECT_EQ(encoder.error(), Mp3Encoder::Error::StreamFailed);
        EXPECT_FALSE(QFile::exists(encoder.path()));
    }
}

TEST(Mp3Encoder, MissingLibraryOrEntryPointFailsTheStart)
{
    test::TempFolder folder;
    const QString original = Mp3Encoder::libraryName();
    for (const char *library : {"libsonavell-no-such-encoder.so.0", "libm.so.6"}) {
        Mp3Encoder::setLibraryName(QString::fromLatin1(library));
        Mp3Encoder encoder;
        encoder.setFormat(pcmFormat(44100, 2));
        encoder.setPath(folder.file(QStringLiteral("x.mp3")));
        EXPECT_FALSE(encoder.start(0)) << library;
        EXPECT_EQ(encoder.error(), Mp3Encoder::Error::LibraryMissing);
        EXPECT_FALSE(QFile::exists(encoder.path()));
    }
    Mp3Encoder::setLibraryName(original);
}

TEST(Mp3Encoder, FinishWithoutAStreamSucceeds)
{
    Mp3Encoder encoder;
    EXPECT_TRUE(encoder.finish());
}

TEST(Mp3Encoder, FullDiskIsReportedNotIgnored)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    Mp3Encoder encoder;
    encoder.setFormat(pcmFormat(44100, 2));
    encoder.setPath(QStringLiteral("/dev/full"));
    ASSERT_TRUE(encoder.start(0));
    const QByteArray tone = test::sinePcm(44100, 2, 0.5, 440, 10000);
    EXPECT_FALSE(encodeWhole(encoder, tone));
    EXPECT_EQ(encoder.error(), Mp3Encoder::Error::WriteFailed);
}

// Plays the capture side of a recording: fills ring slots in order and waits for the
// encode thread after each, as the device callback does.
class Recording
{
public:
    Recording(const QString &path, const RecorderSettings &silence)
    {
        m_handOff.create(kSlots);
        m_encoder.setSilenceSettings(&silence);
        m_encoder.setFormat(pcmFormat(44100, 2));
        m_encoder.setPath(path);
        m_encoder.setBitRate(128);
    }

    bool start()
    {
        if (!m_encoder.start(0))
            return false;
        m_slots.assign(kSlots, QByteArray(static_cast<qsizetype>(m_encoder.bytesPerChunk()), '\0'));
        for (int i = 0; i < kSlots; ++i)
            m_table[i] = reinterpret_cast<std::uint8_t *>(m_slots[static_cast<std::size_t>(i)].data());
        m_encoder.setHandOff(&m_handOff);
        m_encoder.setBufferCount(kSlots);
        m_encoder.setBuffers(m_table);
        m_encoder.startThread();
        return true;
    }

    // Hands over pcm in whole chunks; a short tail is left out.
    void feed(const QByteArray &pcm)
    {
        const auto chunk = static_cast<qsizetype>(m_encoder.bytesPerChunk());
        for (qsizetype at = 0; at + chunk <= pcm.size(); at += chunk) {
            std::memcpy(m_table[m_slot], pcm.constData() + at, static_cast<std::size_t>(chunk));
            m_handOff.ready().release();
            m_handOff.consumed().acquire();
            m_slot = (m_slot + 1) % kSlots;
            ++m_chunksFed;
        }
    }

    Mp3Encoder &encoder() { return m_encoder; }

private:
    static constexpr int kSlots = 5;
    BufferHandOff m_handOff;
    std::vector<QByteArray> m_slots;
    std::uint8_t *m_table[kSlots] = {};
    int m_slot = 0;
    int m_chunksFed = 0;
    Mp3Encoder m_encoder; // destroyed first: its thread must end before the ring goes
};

class EncodeThread : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings.setSilenceEnabled(true);
        m_settings.setSkipSilence(true);
        recordLevel = 0;
    }
    test::TempFolder m_folder;
    RecorderSettings m_settings;
};

TEST_F(EncodeThread, RecordingOfOnlySilenceHoldsNoAudio)
{
    Recording recording(m_folder.file(QStringLiteral("silence.mp3")), m_settings);
    ASSERT_TRUE(recording.start());
    recording.feed(test::constantPcm(44100, 2, 3.0, 0));
    recording.encoder().stopThread();
    EXPECT_FALSE(recording.encoder().hasStarted());
    const test::DecodedMp3 mp3 = test::decodeMp3File(recording.encoder().path());
    // Only what finishing the stream flushes: well under the three seconds fed.
    EXPECT_LT(mp3.seconds(), 0.2);
}

TEST_F(EncodeThread, SilenceAtTheStartIsSkippedThenEverythingIsKept)
{
    Recording recording(m_folder.file(QStringLiteral("late.mp3")), m_settings);
    ASSERT_TRUE(recording.start());
    recording.feed(test::constantPcm(44100, 2, 2.0, 0));
    recording.feed(test::sinePcm(44100, 2, 1.0, 440, 10000));
    recording.feed(test::constantPcm(44100, 2, 1.0, 0)); // later silence stays in
    recording.encoder().stopThread();
    EXPECT_TRUE(recording.encoder().hasStarted());
    const test::DecodedMp3 mp3 = test::decodeMp3File(recording.encoder().path());
    EXPECT_NEAR(mp3.seconds(), 2.0, 0.15);
}

TEST_F(EncodeThread, SkipOffKeepsLeadingSilence)
{
    m_settings.setSkipSilence(false);
    Recording recording(m_folder.file(QStringLiteral("all.mp3")), m_settings);
    ASSERT_TRUE(recording.start());
    recording.feed(test::constantPcm(44100, 2, 1.0, 0));
    recording.encoder().stopThread();
    EXPECT_NEAR(test::decodeMp3File(recording.encoder().path()).seconds(), 1.0, 0.15);
}

TEST_F(EncodeThread, PausedAudioIsLeftOutWithoutAGap)
{
    Recording recording(m_folder.file(QStringLiteral("paused.mp3")), m_settings);
    ASSERT_TRUE(recording.start());
    recording.feed(test::sinePcm(44100, 2, 1.0, 440, 10000));
    recording.encoder().setPaused(true);
    recording.feed(test::sinePcm(44100, 2, 2.0, 440, 30000));
    recording.encoder().setPaused(false);
    recording.feed(test::sinePcm(44100, 2, 1.0, 440, 10000));
    recording.encoder().stopThread();
    ASSERT_FALSE(recording.encoder().hasFailed());
    const test::DecodedMp3 mp3 = test::decodeMp3File(recording.encoder().path());
    EXPECT_NEAR(mp3.seconds(), 2.0, 0.15);
    // Nothing of the loud paused part, and no silent hole where it was.
    EXPECT_NEAR(mp3.level(), 10000 * 2 / M_PI, 600);
}

TEST_F(EncodeThread, StopRightAfterStartEncodesNothing)
{
    Recording recording(m_folder.file(QStringLiteral("empty.mp3")), m_settings);
    ASSERT_TRUE(recording.start());
    recording.encoder().stopThread();
    EXPECT_FALSE(recording.encoder().isThreadRunning());
    EXPECT_FALSE(recording.encoder().hasFailed());
    EXPECT_LT(test::decodeMp3File(recording.encoder().path()).seconds(), 0.2);
    recording.encoder().stopThread(); // a second stop does nothing
}

} // namespace
} // namespace sonavell
