#include "platform/alsaaudioinput.h"

#include "testname.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace sonavell {
namespace {

// Counts notifications and keeps a copy of every delivered buffer, in order. Re-queues each
// buffer like the capture engine does.
class RecordingClient : public AudioInputClient
{
public:
    explicit RecordingClient(AudioInput &input) : m_input(input) {}

    void onAudioInput(Event event, AudioInputBuffer *buffer) override
    {
        std::lock_guard lock(m_mutex);
        if (event == Event::DeviceLost) {
            m_lost = true;
        } else if (m_requeue && buffer->bytesRecorded > 0) {
            m_captured.append(reinterpret_cast<const char *>(buffer->data), buffer->bytesRecorded);
            ++m_done;
            m_input.queue(*buffer);
        } else {
            ++m_returned;
        }
        m_changed.notify_all();
    }

    bool waitForBytes(qsizetype bytes)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_captured.size() >= bytes || m_lost; });
        m_requeue = false;
        return m_captured.size() >= bytes;
    }

    QByteArray captured()
    {
        std::lock_guard lock(m_mutex);
        return m_captured;
    }
    int done()
    {
        std::lock_guard lock(m_mutex);
        return m_done;
    }
    int returned()
    {
        std::lock_guard lock(m_mutex);
        return m_returned;
    }

private:
    AudioInput &m_input;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_captured;
    bool m_requeue = true;
    bool m_lost = false;
    int m_done = 0;
    int m_returned = 0;
};

WaveFormat pcmFormat(int channels, int rate)
{
    WaveFormat format;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    return format.normalizedPcm();
}

QByteArray fileConfig(const QString &infile)
{
    return QStringLiteral("pcm.capture { type file slave.pcm { type null } file \"/dev/null\" "
                          "infile \"%1\" format raw }\n")
        .arg(infile)
        .toUtf8();
}

struct Ring
{
    explicit Ring(std::uint32_t bytes, int count = 5) : memory(static_cast<size_t>(count), std::vector<std::uint8_t>(bytes))
    {
        for (auto &block : memory)
            buffers.push_back(AudioInputBuffer{block.data(), bytes, 0, false, false});
    }
    bool queueAll(AudioInput &input)
    {
        for (AudioInputBuffer &buffer : buffers)
            if (!input.prepare(buffer) || !input.queue(buffer))
                return false;
        return true;
    }
    std::vector<std::vector<std::uint8_t>> memory;
    std::vector<AudioInputBuffer> buffers;
};

struct FileCase
{
    int channels;
    int rate;
    std::uint32_t bufferBytes;
};

void PrintTo(const FileCase &c, std::ostream *out)
{
    *out << c.channels << "ch_" << c.rate << "Hz_" << c.bufferBytes;
}

class AlsaFileCaptureTest : public testing::TestWithParam<FileCase> {};

TEST_P(AlsaFileCaptureTest, CapturesTheFileInOrder)
{
    const FileCase &c = GetParam();
    test::TempFolder folder;
    const QString raw = folder.file(QStringLiteral("in.raw"));
    const QByteArray input = test::sinePcm(c.rate, c.channels, 0.5, 441, 12000);
    ASSERT_TRUE(test::writeAll(raw, input));

    AlsaAudioInput device(QStringLiteral("capture"), fileConfig(raw));
    RecordingClient client(device);
    ASSERT_TRUE(device.open(0, pcmFormat(c.channels, c.rate), &client)) << device.errorText().toStdString();
    Ring ring(c.bufferBytes);
    ASSERT_TRUE(ring.queueAll(device));
    ASSERT_TRUE(device.start());
    ASSERT_TRUE(client.waitForBytes(input.size()));
    ASSERT_TRUE(device.reset());
    const int doneAtReset = client.done();
    const int returnedAtReset = client.returned();
    EXPECT_TRUE(device.close());

    // Past the end of its input file the device returns untouched buffers; compare the file's span.
    EXPECT_EQ(client.captured().left(input.size()), input);
    EXPECT_EQ(client.done(), doneAtReset);
    EXPECT_EQ(client.returned(), returnedAtReset);
    EXPECT_EQ(device.overrunCount(), 0u);
    for (const AudioInputBuffer &buffer : ring.buffers)
        EXPECT_FALSE(buffer.queued);
}

INSTANTIATE_TEST_SUITE_P(AlsaAudioInput, AlsaFileCaptureTest,
                         testing::Values(FileCase{2, 44100, 4608}, FileCase{1, 44100, 2304},
                                         FileCase{2, 22050, 4608}, FileCase{1, 8000, 1000}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate) + '_' +
                                    std::to_string(info.param.bufferBytes) + "bytes";
                         });

TEST(AlsaAudioInput, NullDeviceDeliversFullBuffersUntilReset)
{
    const QByteArray config = "pcm.silent { type null }\n";
    AlsaAudioInput device(QStringLiteral("silent"), config);
    EXPECT_EQ(device.deviceCount(), 1);
    EXPECT_EQ(device.deviceName(0), QStringLiteral("silent"));
    RecordingClient client(device);
    ASSERT_TRUE(device.open(0, pcmFormat(2, 44100), &client)) << device.errorText().toStdString();
    Ring ring(4608);
    ASSERT_TRUE(ring.queueAll(device));
    ASSERT_TRUE(device.start());
    ASSERT_TRUE(client.waitForBytes(4608 * 20));
    ASSERT_TRUE(device.reset());
    // Reset hands back every buffer still queued; those carry no data.
    EXPECT_EQ(client.done() * 4608, client.captured().size());
    EXPECT_TRUE(device.close());
    EXPECT_FALSE(device.isOpen());
}

TEST(AlsaAudioInput, ResetBeforeStartHandsBackTheQueue)
{
    AlsaAudioInput device(QStringLiteral("silent"), "pcm.silent { type null }\n");
    RecordingClient client(device);
    ASSERT_TRUE(device.open(0, pcmFormat(2, 44100), &client));
    Ring ring(4608);
    ASSERT_TRUE(ring.queueAll(device));
    ASSERT_TRUE(device.reset());
    EXPECT_EQ(client.returned(), 5);
    EXPECT_TRUE(device.close());
}

struct OpenFailureCase
{
    const char *name;
    const char *config;
    const char *pcm;
    const char *textPart;
};

void PrintTo(const OpenFailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class AlsaOpenFailureTest : public testing::TestWithParam<OpenFailureCase> {};

TEST_P(AlsaOpenFailureTest, FailsAndSaysWhy)
{
    const OpenFailureCase &c = GetParam();
    AlsaAudioInput device(QString::fromUtf8(c.pcm), QByteArray(c.config));
    RecordingClient client(device);
    EXPECT_FALSE(device.open(0, pcmFormat(2, 44100), &client));
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.errorText().contains(QString::fromUtf8(c.textPart))) << device.errorText().toStdString();
    EXPECT_FALSE(device.close());
}

INSTANTIATE_TEST_SUITE_P(
    AlsaAudioInput, AlsaOpenFailureTest,
    testing::Values(OpenFailureCase{"UnknownName", "pcm.silent { type null }\n", "nothing", "\"nothing\""},
                    OpenFailureCase{"BrokenConfig", "pcm.silent { type ", "silent", "configuration"},
                    OpenFailureCase{"MissingInfile",
                                    "pcm.f { type file slave.pcm { type null } file \"/dev/null\" "
                                    "infile \"/nonexistent/in.raw\" format raw }\n",
                                    "f", "\"f\""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AlsaAudioInput, DefaultDeviceWithoutSoundCardFailsCleanly)
{
    AlsaAudioInput device;
    ASSERT_GE(device.deviceCount(), 1);
    EXPECT_EQ(device.deviceName(0), QStringLiteral("default"));
    RecordingClient client(device);
    if (device.open(0, pcmFormat(2, 44100), &client)) {
        device.close();
        GTEST_SKIP() << "this machine has a working default capture device";
    }
    EXPECT_TRUE(device.errorText().contains(QStringLiteral("\"default\""))) << device.errorText().toStdString();
    EXPECT_FALSE(device.start());
}

TEST(AlsaAudioInput, RefusesFormatsItCannotCapture)
{
    AlsaAudioInput device(QStringLiteral("silent"), "pcm.silent { type null }\n");
    RecordingClient client(device);
    WaveFormat format = pcmFormat(2, 44100);
    format.bitsPerSample = 24;
    EXPECT_FALSE(device.open(0, format, &client));
    EXPECT_FALSE(device.errorText().isEmpty());
}

} // namespace
} // namespace sonavell
