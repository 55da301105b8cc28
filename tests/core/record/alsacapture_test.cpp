// The capture engine on the real ALSA capture path, through a private configuration that
// plays a generated file in place of a sound card.

#include "core/record/captureengine.h"

#include "capturedbytes.h"
#include "decodedmp3.h"
#include "platform/alsaaudioinput.h"
#include "testname.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sonavell {
namespace {

struct FileCase
{
    int channels;
    int rate;
    int chunks; // input length in encoder chunks
};

void PrintTo(const FileCase &c, std::ostream *out)
{
    *out << c.channels << "ch_" << c.rate << "Hz";
}

class AlsaCaptureEndToEnd : public testing::TestWithParam<FileCase> {};

TEST_P(AlsaCaptureEndToEnd, RecordsAFileDeviceIntoAnMp3OfTheSameLengthAndLevel)
{
    const FileCase &c = GetParam();
    test::TempFolder folder;
    const int chunkBytes = (c.rate >= 32000 ? 1152 : 576) * c.channels * 2;
    QByteArray pcm = test::sinePcm(c.rate, c.channels, 5.0, 440, 10000);
    pcm.truncate(static_cast<qsizetype>(c.chunks) * chunkBytes);
    const QString raw = folder.file(QStringLiteral("in.raw"));
    ASSERT_TRUE(test::writeAll(raw, pcm));

    const QByteArray config = QStringLiteral("pcm.card { type file slave.pcm { type null } file \"/dev/null\" "
                                             "infile \"%1\" format raw }\n").arg(raw).toUtf8();
    AlsaAudioInput input(QStringLiteral("card"), config);
    const QString mp3 = folder.file(QStringLiteral("take.mp3"));
    {
        CaptureEngine engine(input, test::defaultSettings());
        WaveFormat format;
        format.channels = static_cast<std::uint16_t>(c.channels);
        format.samplesPerSec = static_cast<std::uint32_t>(c.rate);
        engine.setRecordFormat(format);
        engine.setBitRate(c.rate >= 32000 ? 160 : 64);
        test::CapturedBytes end(engine, static_cast<std::uint64_t>(pcm.size()));
        engine.setListener(&end);
        ASSERT_TRUE(engine.open(mp3));
        ASSERT_EQ(engine.bufferSize(), chunkBytes);
        ASSERT_TRUE(engine.start()) << engine.errorText().toStdString();
        end.wait();
        engine.setListener(nullptr);
        EXPECT_TRUE(engine.stop());
        EXPECT_TRUE(engine.close());
        EXPECT_EQ(engine.error(), CaptureEngine::Error::None);
        EXPECT_EQ(engine.overrunCount(), 0u);
    }
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_EQ(decoded.sampleRate, c.rate);
    EXPECT_EQ(decoded.channels, c.channels);
    const double seconds = double(pcm.size()) / (c.rate * c.channels * 2);
    EXPECT_NEAR(decoded.seconds(), seconds, 0.06);
    EXPECT_NEAR(decoded.level(), 10000 * 2 / M_PI, 10000 * 0.1);
}

INSTANTIATE_TEST_SUITE_P(CaptureEngine, AlsaCaptureEndToEnd,
                         testing::Values(FileCase{2, 44100, 150}, FileCase{1, 44100, 100}, FileCase{1, 22050, 120}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate) + '_' +
                                    std::to_string(info.param.chunks) + "chunks";
                         });

} // namespace
} // namespace sonavell
