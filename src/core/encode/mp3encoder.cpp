#include "core/encode/mp3encoder.h"

#include "core/encode/bufferhandoff.h"
#include "core/encode/encoderlibrary.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace sonavell {

namespace {

std::mutex libraryNameMutex;

QString &libraryNameSetting()
{
    static QString name = QStringLiteral("libmp3lame.so.0");
    return name;
}

// A library once loaded stays loaded for the life of the process: jobs start and finish
// encoders on several threads at once, and loading and unloading it for every output file
// would only repeat the same work (and race in the loader). A failed load is tried again.
std::shared_ptr<EncoderLibrary> loadedLibrary(const QString &name)
{
    static std::mutex mutex;
    static std::map<QString, std::shared_ptr<EncoderLibrary>> loaded;
    std::lock_guard lock(mutex);
    std::shared_ptr<EncoderLibrary> &library = loaded[name];
    if (!library) {
        auto candidate = std::make_shared<EncoderLibrary>();
        if (!candidate->load(name))
            return nullptr;
        library = std::move(candidate);
    }
    return library;
}

} // namespace

Mp3Encoder::Mp3Encoder()
    : m_path(defaultSaveDirectory() + QStringLiteral("Record.mp3")),
      m_bitRate(RecorderSettings::kBitRates[RecorderSettings::kDefaultBitRateIndex])
{
}

Mp3Encoder::~Mp3Encoder()
{
    stopThread();
    // A job that never finished (cancelled, failed) leaves its stream and file to be released here.
    closeStream();
    m_file.reset();
    m_output.clear();
    m_library.reset();
}

void Mp3Encoder::setLibraryName(const QString &name)
{
    std::lock_guard lock(libraryNameMutex);
    libraryNameSetting() = name;
}

QString Mp3Encoder::libraryName()
{
    std::lock_guard lock(libraryNameMutex);
    return libraryNameSetting();
}

QString Mp3Encoder::errorText(Error error)
{
    switch (error) {
    case Error::None:
        return QString();
    case Error::LibraryMissing:
        return QStringLiteral("The MP3 encoder library (%1) could not be loaded.").arg(libraryName());
    case Error::StreamFailed:
        return QStringLiteral("The MP3 encoder does not accept this format and bit rate.");
    case Error::FileNotCreated:
        return QStringLiteral("The MP3 file could not be created.");
    case Error::EncodeFailed:
        return QStringLiteral("The MP3 encoder failed.");
    case Error::WriteFailed:
        return QStringLiteral("The MP3 file could not be written (is the disk full?).");
    case Error::FinishFailed:
        return QStringLiteral("The MP3 file could not be finished.");
    }
    return QString();
}

QString Mp3Encoder::substitutionNotice() const
{
    QStringList changes;
    if (m_givenBitRate > 0 && m_givenBitRate != m_bitRate)
        changes.append(QStringLiteral("%1 kbit/s instead of the %2 kbit/s asked for").arg(m_givenBitRate).arg(m_bitRate));
    if (m_givenSampleRate > 0 && m_givenSampleRate != int(m_format.samplesPerSec))
        changes.append(QStringLiteral("%1 Hz instead of the input's %2 Hz").arg(m_givenSampleRate).arg(m_format.samplesPerSec));
    if (changes.isEmpty())
        return QString();
    return QStringLiteral("the MP3 encoder cannot give that; it uses %1").arg(changes.join(QStringLiteral(" and ")));
}

void Mp3Encoder::fail(Error error)
{
    Error none = Error::None;
    m_error.compare_exchange_strong(none, error);
}

bool Mp3Encoder::start(std::uint32_t chunkBytes)
{
    if (m_stream)
        return false;
    m_error.store(Error::None);
    if (!m_library)
        m_library = loadedLibrary(libraryName());
    if (!m_library) {
        fail(Error::LibraryMissing);
        return false;
    }

    EncoderConfig config;
    config.sampleRate = m_format.samplesPerSec;
    config.mode = m_format.channels == 1 ? EncoderConfig::kModeMono : EncoderConfig::kModeStereo;
    config.bitRate = static_cast<std::uint32_t>(m_bitRate);
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t outputSize = 0;
    if (m_library->initStream(config, samplesPerChunk, outputSize, m_stream) != EncoderLibrary::kOk) {
        m_stream = nullptr;
        fail(Error::StreamFailed);
        return false;
    }
    m_givenBitRate = m_library->streamBitRate(m_stream);
    m_givenSampleRate = m_library->streamSampleRate(m_stream);
    m_bytesPerChunk = 2 * samplesPerChunk;
    m_outputBufferSize = outputSize;
    if (chunkBytes > 0 && chunkBytes != m_bytesPerChunk) {
        m_outputBufferSize = outputSize * (chunkBytes / (2 * samplesPerChunk) + 1);
        m_bytesPerChunk = chunkBytes;
    }
    m_output = QByteArray(static_cast<qsizetype>(m_outputBufferSize), '\0');

    // Unbuffered, so that a short write (disk full) shows at the chunk that caused it.
    m_file = std::make_unique<QFile>(m_path);
    const bool opened =
        m_descriptor >= 0
            ? ::ftruncate(m_descriptor, 0) == 0 && ::lseek(m_descriptor, 0, SEEK_SET) == 0
                  && m_file->open(m_descriptor, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)
            : m_file->open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered);
    if (!opened) {
        m_file.reset();
        m_output.clear();
        closeStream();
        fail(Error::FileNotCreated);
        return false;
    }
    // Held while the file is written: the recovery of interrupted recordings leaves a locked
    // file alone, whichever process looks.
    ::flock(m_file->handle(), LOCK_SH | LOCK_NB);
    return true;
}

std::uint32_t Mp3Encoder::encodeChunk(const void *pcm)
{
    return encodeBytes(pcm, m_bytesPerChunk);
}

std::uint32_t Mp3Encoder::encodeBytes(const void *pcm, std::uint32_t byteCount)
{
    if (!m_stream || !m_file || hasFailed())
        return 0;
    byteCount = std::min(byteCount, m_bytesPerChunk);
    std::uint32_t outputBytes = 0;
    auto *output = reinterpret_cast<unsigned char *>(m_output.data());
    if (m_library->encodeChunk(m_stream, byteCount / 2, static_cast<const std::int16_t *>(pcm), output,
                               m_outputBufferSize, outputBytes)
        != EncoderLibrary::kOk) {
        closeStream();
        fail(Error::EncodeFailed);
        return 0;
    }
    return appendToFile(output, outputBytes) ? outputBytes : 0;
}

bool Mp3Encoder::appendToFile(const unsigned char *bytes, std::uint32_t count)
{
    if (count == 0)
        return true;
    if (m_file->write(reinterpret_cast<const char *>(bytes), count) != static_cast<qint64>(count)) {
        fail(Error::WriteFailed);
        return false;
    }
    return true;
}

void Mp3Encoder::closeStream()
{
    if (m_stream && m_library)
        m_library->closeStream(m_stream);
    m_stream = nullptr;
}

bool Mp3Encoder::finish()
{
    if (!m_stream) {
        // The stream may have been closed by an encoding failure; that file is not a success.
        m_file.reset();
        return !hasFailed();
    }
    std::uint32_t outputBytes = 0;
    auto *output = reinterpret_cast<unsigned char *>(m_output.data());
    if (m_library->deinitStream(m_stream, output, m_outputBufferSize, outputBytes) != EncoderLibrary::kOk) {
        fail(Error::FinishFailed);
    } else if (m_file && !hasFailed() && appendToFile(output, outputBytes)) {
        // The library reserved the first frame for the Info tag; it can only be filled in now
        // that the frame count is known.
        QByteArray tag(static_cast<qsizetype>(std::max<std::uint32_t>(m_outputBufferSize, 8192)), '\0');
        const std::uint32_t tagBytes =
            m_library->infoTag(m_stream, reinterpret_cast<unsigned char *>(tag.data()), static_cast<std::uint32_t>(tag.size()));
        tag.truncate(static_cast<qsizetype>(tagBytes));
        writeInfoTag(tag);
    }
    closeStream();
    if (m_file) {
        // The finished file, tag and all, is on the disk before it is renamed and listed.
        if (!hasFailed() && m_syncInterval.count() > 0 && m_index >= 0)
            ::fdatasync(m_file->handle());
        m_file->close();
        if (m_file->error() != QFileDevice::NoError)
            fail(Error::WriteFailed);
        m_file.reset();
    }
    return !hasFailed();
}

void Mp3Encoder::writeInfoTag(const QByteArray &tag)
{
    if (tag.isEmpty() || m_file->size() < tag.size())
        return;
    if (!m_file->seek(0) || m_file->write(tag) != tag.size())
        fail(Error::WriteFailed);
}

void Mp3Encoder::startThread()
{
    if (m_thread.joinable() || !m_handOff || !m_handOff->isCreated())
        return;
    m_stopSignal.store(false);
    m_index = 0;
    m_thread = std::thread([this] { encodeLoop(); });
    if (m_file && m_syncInterval.count() > 0) {
        m_syncStop = false;
        m_syncThread = std::thread([this] { syncLoop(); });
    }
}

// Its own thread: fdatasync may take long on a slow disk, and the encode thread must keep pace
// with the capture device. Writes from the encode thread go on meanwhile.
void Mp3Encoder::syncLoop()
{
    const int fd = m_file->handle();
    std::unique_lock lock(m_syncMutex);
    while (!m_syncWake.wait_for(lock, m_syncInterval, [this] { return m_syncStop; })) {
        lock.unlock();
        ::fdatasync(fd);
        m_syncCount.fetch_add(1);
        lock.lock();
    }
}

void Mp3Encoder::stopThread()
{
    if (!m_thread.joinable())
        return;
    m_stopSignal.store(true);
    m_handOff->ready().release(m_handOff->maximum());
    m_thread.join();
    if (m_syncThread.joinable()) {
        {
            std::lock_guard lock(m_syncMutex);
            m_syncStop = true;
        }
        m_syncWake.notify_all();
        m_syncThread.join();
    }
    finish();
}

// Runs on the encode thread. Walks the capture ring in the order the device fills it, so a
// slot is never read while the device writes it.
void Mp3Encoder::encodeLoop()
{
    for (;;) {
        if (m_stopSignal.load())
            return;
        m_handOff->ready().acquire();
        if (m_stopSignal.load())
            return;
        if (m_bytesPerChunk != 0) {
            if (!m_paused.load(std::memory_order_relaxed)) {
                const std::uint8_t *chunk = m_buffers[m_index];
                const bool skipAtStart = m_silence && !m_started.load(std::memory_order_relaxed)
                                         && m_silence->silenceEnabled() && m_silence->skipSilence();
                if (!skipAtStart || !isSilent(bufferLevel(chunk, m_bytesPerChunk), m_silence->sensitivity())) {
                    m_started.store(true, std::memory_order_relaxed);
                    encodeChunk(chunk);
                }
            }
            m_index = (m_index + 1) % m_bufferCount;
        }
        m_handOff->consumed().release();
    }
}

} // namespace sonavell
