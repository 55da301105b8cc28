#include "core/mp3/id3v1tag.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include "mp3frames.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace sonavell;
using namespace sonavell::test;

namespace {

// 100 frames of 1152 / 44100 s (26.122 ms) each; frame i ends at (i + 1) * 26.122 ms.
constexpr int kFrames = 100;
const FrameSpec kSpec;

// The markers of the frames in a copy made from makeStream(), in order, or -1 for bytes that are
// not whole frames of the source.
std::vector<int> copiedFrames(const QByteArray &copy)
{
    const int length = frameLengthOf(kSpec);
    std::vector<int> markers;
    for (int at = 0; at < copy.size(); at += length) {
        const QByteArray frame = copy.mid(at, length);
        const int marker = static_cast<unsigned char>(frame.back());
        markers.push_back(frame == makeFrame(kSpec, static_cast<unsigned char>(marker)) ? marker : -1);
    }
    return markers;
}

std::vector<int> range(int first, int last)
{
    std::vector<int> frames;
    for (int i = first; i <= last; ++i)
        frames.push_back(i);
    return frames;
}

struct WindowCase
{
    const char *name;
    float start;
    float end;
    std::vector<int> frames;
};

class CopyWindow : public testing::TestWithParam<WindowCase>
{
protected:
    TempFolder m_folder;
    QString m_source = m_folder.file(QStringLiteral("source.mp3"));
    QString m_target = m_folder.file(QStringLiteral("target.mp3"));
};

TEST_P(CopyWindow, CopiesFramesEndingInTheWindow)
{
    const WindowCase &c = GetParam();
    ASSERT_TRUE(writeAll(m_source, makeStream(kSpec, kFrames)));
    ASSERT_TRUE(writeAll(m_target, QByteArray("old contents")));
    Mp3FileInfo info;
    ASSERT_TRUE(info.copyFramesByTime(m_source, m_target, c.start, c.end));
    EXPECT_EQ(copiedFrames(readAll(m_target)), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, CopyWindow,
    testing::Values(WindowCase{"WholeFile", 0.0f, 1000.0f, range(0, kFrames - 1)},
                    WindowCase{"FromStart", 0.0f, 0.5f, range(0, 19)}, // frame 19 ends at 0.522 s
                    WindowCase{"Middle", 1.0f, 1.5f, range(38, 57)},  // 38 ends at 1.018, 57 at 1.515
                    WindowCase{"ToPastTheEnd", 2.0f, 3600.0f, range(76, kFrames - 1)},
                    WindowCase{"EndEqualsStart", 0.1f, 0.1f, {3}}, // the first frame ending at or after 0.1 s
                    WindowCase{"BothZero", 0.0f, 0.0f, {0}},
                    WindowCase{"EndBeforeStart", 0.1f, 0.05f, {}},
                    WindowCase{"StartPastTheEnd", 10.0f, 20.0f, {}},
                    WindowCase{"NegativeStart", -5.0f, 0.03f, range(0, 1)}),
    [](const testing::TestParamInfo<WindowCase> &info) { return std::string(info.param.name); });

class CopyFrames : public testing::Test
{
protected:
    std::vector<int> copy(const QByteArray &source, float start, float end)
    {
        EXPECT_TRUE(writeAll(m_source, source));
        Mp3FileInfo info;
        EXPECT_TRUE(info.copyFramesByTime(m_source, m_target, start, end));
        return copiedFrames(readAll(m_target));
    }

    TempFolder m_folder;
    QString m_source = m_folder.file(QStringLiteral("source.mp3"));
    QString m_target = m_folder.file(QStringLiteral("target.mp3"));
};

TEST_F(CopyFrames, LeadingId3v2TagIsSteppedOver)
{
    EXPECT_EQ(copy(makeId3v2Tag(200 * 1024) + makeStream(kSpec, kFrames), 0.0f, 1000.0f), range(0, kFrames - 1));
}

TEST_F(CopyFrames, InfoFrameIsNotCopiedNorTimed)
{
    const QByteArray source = makeXingFrame(kSpec, kFrames) + makeStream(kSpec, kFrames);
    EXPECT_EQ(copy(source, 0.0f, 1000.0f), range(0, kFrames - 1));
    EXPECT_EQ(copy(source, 1.0f, 1.5f), range(38, 57));
}

TEST_F(CopyFrames, TrailingId3v1TagIsNotCopied)
{
    Mp3FileInfo tagged;
    tagged.title = QString::fromLatin1("\xFF\xF3\x10\xC0");
    const Id3v1Tag tag = buildId3v1Tag(tagged);
    const QByteArray source = makeStream(kSpec, 10) + QByteArray(reinterpret_cast<const char *>(tag.data()), 128);
    EXPECT_EQ(copy(source, 0.0f, 1000.0f), range(0, 9));
}

TEST_F(CopyFrames, BadHeadersBetweenFramesAreSteppedOver)
{
    QByteArray source = makeStream(kSpec, 5);
    source += QByteArray::fromHex("FFFB0000FFFBF000FFFB9C00FFFFFFFF"); // free format, index 15, bad rate
    source += makeStream(kSpec, 5);
    const std::vector<int> expected = {0, 1, 2, 3, 4, 0, 1, 2, 3, 4};
    EXPECT_EQ(copy(source, 0.0f, 1000.0f), expected);
}

TEST_F(CopyFrames, SourceWithoutFramesGivesEmptyTarget)
{
    EXPECT_TRUE(copy(QByteArray(50000, 'x'), 0.0f, 1000.0f).empty());
    EXPECT_TRUE(copy(QByteArray(), 0.0f, 1000.0f).empty());
    EXPECT_EQ(QFile(m_target).size(), 0);
}

TEST_F(CopyFrames, UnopenableSourceOrTargetFails)
{
    ASSERT_TRUE(writeAll(m_source, makeStream(kSpec, 10)));
    Mp3FileInfo info;
    EXPECT_FALSE(info.copyFramesByTime(m_folder.file(QStringLiteral("missing.mp3")), m_target, 0.0f, 1.0f));
    EXPECT_FALSE(QFile::exists(m_target));
    EXPECT_FALSE(info.copyFramesByTime(m_source, m_folder.file(QStringLiteral("no/dir/t.mp3")), 0.0f, 1.0f));
}

TEST_F(CopyFrames, TargetThatIsTheSourceIsRefusedUntouched)
{
    const QByteArray source = makeStream(kSpec, 10);
    ASSERT_TRUE(writeAll(m_source, source));
    const QString link = m_folder.file(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(m_source, link));
    Mp3FileInfo info;
    EXPECT_FALSE(info.copyFramesByTime(m_source, m_source, 0.0f, 1.0f));
    EXPECT_FALSE(info.copyFramesByTime(m_source, link, 0.0f, 1.0f));
    EXPECT_EQ(readAll(m_source), source);
}

TEST_F(CopyFrames, FirstCopiedFrameFillsAFreshRecord)
{
    const FrameSpec spec{MpegVersion::Mpeg25, 3, 4, 1, 0, 3, true};
    ASSERT_TRUE(writeAll(m_source, makeStream(spec, 10)));
    Mp3FileInfo info;
    ASSERT_TRUE(info.copyFramesByTime(m_source, m_target, 0.0f, 1000.0f));
    EXPECT_EQ(info.version, MpegVersion::Mpeg25);
    EXPECT_EQ(info.layer, 3);
    EXPECT_EQ(info.protectionBit, 0);
    EXPECT_EQ(info.frameCount, 10u);
    EXPECT_EQ(readAll(m_target), readAll(m_source));
}

// 22050 Hz Layer III: frames of 72000 * 64 / 22050 = 208 bytes, 576 / 22050 s each.
TEST_F(CopyFrames, HalfRateLayer3FramesAreTimedBy576Samples)
{
    const FrameSpec spec{MpegVersion::Mpeg2, 3, 8, 0};
    ASSERT_EQ(frameLengthOf(spec), 208);
    ASSERT_TRUE(writeAll(m_source, makeStream(spec, 200)));
    Mp3FileInfo info;
    // 1.0 s falls in frame 38 (ends at 39 * 576 / 22050 = 1.0188 s); 2.0 s in frame 76 (2.0114 s).
    ASSERT_TRUE(info.copyFramesByTime(m_source, m_target, 1.0f, 2.0f));
    const QByteArray copy = readAll(m_target);
    ASSERT_EQ(copy.size(), (76 - 38 + 1) * 208);
    EXPECT_EQ(static_cast<unsigned char>(copy.at(208 - 1)), 38);
    EXPECT_EQ(static_cast<unsigned char>(copy.back()), 76);
    EXPECT_EQ(queryMediaLength(m_target), expectedMilliseconds(spec, 39));
}

} // namespace
