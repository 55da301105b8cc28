#include "core/process/wavefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace sonavell {
namespace {

using Result = WaveFile::Result;

WaveFormat stereo44k()
{
    WaveFormat f;
    f.channels = 2;
    f.samplesPerSec = 44100;
    f.bitsPerSample = 16;
    return f.normalizedPcm();
}

std::uint32_t u32At(const QByteArray &bytes, int offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return v;
}

void putU16(QByteArray &out, std::uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void putU32(QByteArray &out, std::uint32_t v)
{
    putU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray out(id, 4);
    putU32(out, static_cast<std::uint32_t>(body.size()));
    out.append(body);
    if (body.size() & 1)
        out.append('\0');
    return out;
}

QByteArray fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    QByteArray body;
    putU16(body, tag);
    putU16(body, channels);
    putU32(body, rate);
    putU32(body, rate * channels * bits / 8);
    putU16(body, static_cast<std::uint16_t>(channels * bits / 8));
    putU16(body, bits);
    return body;
}

QByteArray riff(const QByteArray &chunks)
{
    QByteArray out("RIFF");
    putU32(out, static_cast<std::uint32_t>(chunks.size() + 4));
    out.append("WAVE");
    out.append(chunks);
    return out;
}

QByteArray samples(int count)
{
    QByteArray data(count, '\0');
    for (int i = 0; i < count; ++i)
        data[i] = static_cast<char>(i * 7 + 3);
    return data;
}

class WaveFileTest : public ::testing::Test
{
protected:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QByteArray writeAndRead(const QByteArray &data)
    {
        const QString file = path("out.wav");
        WaveFile wave;
        const WaveFormat format = stereo44k();
        EXPECT_EQ(wave.open(file, &format, WaveFile::WriteMode), Result::Success);
        std::uint32_t count = 0;
        EXPECT_EQ(wave.write(static_cast<std::uint32_t>(data.size()), data.constData(), &count), Result::Success);
        EXPECT_EQ(count, static_cast<std::uint32_t>(data.size()));
        EXPECT_EQ(wave.close(), Result::Success);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QTemporaryDir m_dir;
};

TEST_F(WaveFileTest, WrittenLayoutHasSizesAndFactFixedAtClose)
{
    const QByteArray data = samples(1000);
    const QByteArray bytes = writeAndRead(data);
    ASSERT_EQ(bytes.size(), 1056);
    EXPECT_EQ(bytes.left(4), QByteArray("RIFF"));
    EXPECT_EQ(u32At(bytes, 4), 1048u);
    EXPECT_EQ(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(u32At(bytes, 16), 16u);
    EXPECT_EQ(bytes.mid(20, 16), fmtBody(1, 2, 44100, 16));
    EXPECT_EQ(bytes.mid(36, 4), QByteArray("fact"));
    EXPECT_EQ(u32At(bytes, 40), 4u);
    EXPECT_EQ(u32At(bytes, 44), 0u);
    EXPECT_EQ(bytes.mid(48, 4), QByteArray("data"));
    EXPECT_EQ(u32At(bytes, 52), 1000u);
    EXPECT_EQ(bytes.mid(56), data);
}

TEST_F(WaveFileTest, OddDataGetsPadByteCountedByRiffOnly)
{
    const QByteArray data = samples(1001);
    const QByteArray bytes = writeAndRead(data);
    ASSERT_EQ(bytes.size(), 1058);
    EXPECT_EQ(u32At(bytes, 4), 1050u);
    EXPECT_EQ(u32At(bytes, 52), 1001u);
    EXPECT_EQ(bytes.mid(56, 1001), data);
    EXPECT_EQ(bytes.at(1057), '\0');

    WaveFile wave;
    ASSERT_EQ(wave.open(path("out.wav"), nullptr, WaveFile::ReadMode), Result::Success);
    EXPECT_EQ(wave.dataSize(), 1001u);
}

TEST_F(WaveFileTest, UnclosedFileKeepsOpenMarkers)
{
    const QString file = path("open.wav");
    {
        WaveFile wave;
        const WaveFormat format = stereo44k();
        ASSERT_EQ(wave.open(file, &format, WaveFile::WriteMode), Result::Success);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_EQ(bytes.size(), 56);
        EXPECT_EQ(u32At(bytes, 4), 0u);
        EXPECT_EQ(u32At(bytes, 44), 0xFFFFFFFFu);
        EXPECT_EQ(u32At(bytes, 52), 0u);
    }
}

TEST_F(WaveFileTest, RoundTripReadsFormatAndData)
{
    const QByteArray data = samples(4000);
    writeAndRead(data);
    WaveFile wave;
    ASSERT_EQ(wave.open(path("out.wav"), nullptr, WaveFile::ReadMode), Result::Success);
    ASSERT_NE(wave.format(), nullptr);
    EXPECT_EQ(*wave.format(), stereo44k());
    EXPECT_EQ(wave.dataSize(), 4000u);

    std::vector<char> buffer(4000);
    std::uint32_t count = 0;
    ASSERT_EQ(wave.read(buffer.data(), 1500, &count), Result::Success);
    EXPECT_EQ(count, 1500u);
    EXPECT_EQ(QByteArray(buffer.data(), 1500), data.left(1500));

    ASSERT_EQ(wave.read(nullptr, 0, &count), Result::Success);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(wave.read(nullptr, 500, &count), Result::Success);
    EXPECT_EQ(count, 500u);

    // More than is left: what is left; then the end gives count 0.
    ASSERT_EQ(wave.read(buffer.data(), 4000, &count), Result::Success);
    EXPECT_EQ(count, 2000u);
    EXPECT_EQ(QByteArray(buffer.data(), 2000), data.mid(2000));
    ASSERT_EQ(wave.read(buffer.data(), 10, &count), Result::Success);
    EXPECT_EQ(count, 0u);

    ASSERT_EQ(wave.reset(), Result::Success);
    ASSERT_EQ(wave.read(buffer.data(), 4, &count), Result::Success);
    EXPECT_EQ(QByteArray(buffer.data(), 4), data.left(4));
}

TEST_F(WaveFileTest, ResultCodesForMisuse)
{
    WaveFile wave;
    std::uint32_t count = 7;
    char byte = 0;
    EXPECT_EQ(wave.open(QString(), nullptr, WaveFile::ReadMode), Result::InvalidArgument);
    EXPECT_EQ(wave.read(&byte, 1, nullptr), Result::InvalidArgument);
    EXPECT_EQ(wave.read(&byte, 1, &count), Result::NotInitialised);
    EXPECT_EQ(wave.write(1, &byte, &count), Result::NotInitialised);
    EXPECT_EQ(wave.reset(), Result::NotInitialised);
    EXPECT_EQ(wave.close(), Result::NotInitialised);
    EXPECT_EQ(wave.open(path("x.wav"), nullptr, WaveFile::WriteMode), Result::InvalidArgument);
    EXPECT_EQ(wave.open(path("missing.wav"), nullptr, WaveFile::ReadMode), Result::Failure);
    EXPECT_EQ(wave.format(), nullptr);
    EXPECT_EQ(wave.open(m_dir.path(), nullptr, WaveFile::ReadMode), Result::Failure);

    const QByteArray image = riff(chunk("fmt ", fmtBody(1, 1, 8000, 16)) + chunk("data", samples(10)));
    ASSERT_EQ(wave.openMemory(image), Result::Success);
    EXPECT_EQ(wave.write(1, &byte, &count), Result::NotImplemented);
    EXPECT_EQ(wave.write(1, nullptr, &count), Result::InvalidArgument);
}

TEST_F(WaveFileTest, WritingToUnwritablePathFails)
{
    WaveFile wave;
    const WaveFormat format = stereo44k();
    EXPECT_EQ(wave.open(path("no/such/dir.wav"), &format, WaveFile::WriteMode), Result::Failure);
    EXPECT_FALSE(wave.isOpen());
}

// Hand-built headers: what opens, with which format and data, and what fails.
struct HeaderCase
{
    const char *name;
    QByteArray image;
    bool opens;
    std::uint16_t formatTag = 1;
    std::uint16_t extraSize = 0;
    QByteArray data = {};
};

class WaveHeaderTest : public ::testing::TestWithParam<HeaderCase>
{
};

TEST_P(WaveHeaderTest, OpensOrFailsFromMemoryAndFile)
{
    const HeaderCase &c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("h.wav"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.image);
    }
    for (bool fromMemory : {false, true}) {
        SCOPED_TRACE(fromMemory ? "memory" : "file");
        WaveFile wave;
        const Result opened = fromMemory ? wave.openMemory(c.image) : wave.open(file, nullptr, WaveFile::ReadMode);
        if (!c.opens) {
            EXPECT_EQ(opened, Result::Failure);
            EXPECT_EQ(wave.format(), nullptr);
            EXPECT_FALSE(wave.isOpen());
            continue;
        }
        ASSERT_EQ(opened, Result::Success);
        EXPECT_EQ(wave.format()->formatTag, c.formatTag);
        EXPECT_EQ(wave.format()->extraSize, c.extraSize);
        EXPECT_EQ(wave.formatExtra().size(), c.extraSize);
        EXPECT_EQ(wave.dataSize(), static_cast<std::uint32_t>(c.data.size()));
        QByteArray got(c.data.size() + 10, '\0');
        std::uint32_t count = 0;
        ASSERT_EQ(wave.read(got.data(), static_cast<std::uint32_t>(got.size()), &count), Result::Success);
        EXPECT_EQ(got.left(static_cast<int>(count)), c.data);
    }
}

QByteArray withSize(QByteArray image, int offset, std::uint32_t size)
{
    QByteArray v;
    putU32(v, size);
    image.replace(offset, 4, v);
    return image;
}

QByteArray fmt18(std::uint16_t tag, std::uint16_t extra)
{
    QByteArray body = fmtBody(tag, 2, 44100, 16);
    putU16(body, extra);
    body.append(QByteArray(extra, 'x'));
    return body;
}

const QByteArray kData = samples(100);
const QByteArray kFmt = chunk("fmt ", fmtBody(1, 2, 44100, 16));

INSTANTIATE_TEST_SUITE_P(
    Headers, WaveHeaderTest,
    ::testing::Values(
        HeaderCase{"plain", riff(kFmt + chunk("data", kData)), true, 1, 0, kData},
        HeaderCase{"fmt18Pcm", riff(chunk("fmt ", fmt18(1, 0)) + chunk("data", kData)), true, 1, 0, kData},
        HeaderCase{"listBeforeData", riff(kFmt + chunk("LIST", samples(33)) + chunk("data", kData)), true, 1, 0, kData},
        HeaderCase{"dataBeforeFmt", riff(chunk("data", kData) + kFmt), true, 1, 0, kData},
        HeaderCase{"nonPcmExtra", riff(chunk("fmt ", fmt18(2, 4)) + chunk("data", kData)), true, 2, 4, kData},
        HeaderCase{"emptyData", riff(kFmt + chunk("data", {})), true, 1, 0, {}},
        HeaderCase{"empty", QByteArray(), false},
        HeaderCase{"notRiff", QByteArray("RIFX") + riff(kFmt).mid(4), false},
        HeaderCase{"notWave", riff(kFmt + chunk("data", kData)).replace(8, 4, "AVI "), false},
        HeaderCase{"noFmt", riff(chunk("data", kData)), false},
        HeaderCase{"noData", riff(kFmt), false},
        HeaderCase{"shortFmt", riff(chunk("fmt ", fmtBody(1, 2, 44100, 16).left(14)) + chunk("data", kData)), false},
        HeaderCase{"riffPastEnd", withSize(riff(kFmt + chunk("data", kData)), 4, 100000), false},
        HeaderCase{"hugeFmt", withSize(riff(kFmt + chunk("data", kData)), 16, 0xFFFFFFF0u), false},
        HeaderCase{"dataPastEnd", withSize(riff(kFmt + chunk("data", kData)), 36 + 4, 0x7FFFFFFFu), false},
        HeaderCase{"extraPastFmt", riff(chunk("fmt ", fmt18(2, 4).left(20)) + chunk("data", kData)), false},
        HeaderCase{"truncatedHeader", riff(kFmt).left(10), false}),
    [](const ::testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
