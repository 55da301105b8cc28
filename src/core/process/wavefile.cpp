#include "core/process/wavefile.h"

#include "core/io/regularfile.h"

#include <QBuffer>
#include <QFile>

#include <cstring>
#include <limits>

namespace sonavell {

namespace {

constexpr std::int64_t kRiffHeaderSize = 12; // "RIFF", size, "WAVE"
constexpr std::int64_t kChunkHeaderSize = 8;
constexpr std::uint32_t kPcmFmtSize = 16;
constexpr std::uint32_t kFactOpenValue = 0xFFFFFFFFu;

std::uint16_t readU16(const char *p)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
}

std::uint32_t readU32(const char *p)
{
    return static_cast<std::uint32_t>(readU16(p)) | static_cast<std::uint32_t>(readU16(p + 2)) << 16;
}

void appendU16(QByteArray &out, std::uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void appendU32(QByteArray &out, std::uint32_t v)
{
    appendU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    appendU16(out, static_cast<std::uint16_t>(v >> 16));
}

bool readExactly(QIODevice &device, char *to, std::int64_t size)
{
    return device.read(to, size) == size;
}

bool writeU32At(QIODevice &device, std::int64_t offset, std::uint32_t value)
{
    QByteArray bytes;
    appendU32(bytes, value);
    return device.seek(offset) && device.write(bytes) == bytes.size();
}

} // namespace

WaveFile::WaveFile() = default;

WaveFile::~WaveFile()
{
    close();
}

WaveFile::Result WaveFile::open(const QString &path, const WaveFormat *format, int mode, const QByteArray &extra)
{
    if (mode == ReadMode) {
        if (path.isEmpty())
            return Result::InvalidArgument;
        close();
        m_format.reset();
        // No sound resources are built into the program: a path that is not a file fails.
        auto file = std::make_unique<QFile>(path);
        if (!openRegularFile(*file))
            return Result::Failure;
        return openForReading(std::move(file));
    }
    if (mode == WriteMode) {
        if (path.isEmpty() || format == nullptr)
            return Result::InvalidArgument;
        close();
        return openForWriting(path, *format, extra);
    }
    return Result::InvalidArgument;
}

WaveFile::Result WaveFile::openMemory(const QByteArray &image)
{
    close();
    m_format.reset();
    m_memoryImage = image;
    auto buffer = std::make_unique<QBuffer>(&m_memoryImage);
    if (!buffer->open(QIODevice::ReadOnly))
        return Result::Failure;
    m_fromMemory = true;
    return openForReading(std::move(buffer));
}

WaveFile::Result WaveFile::openForReading(std::unique_ptr<QIODevice> device)
{
    m_device = std::move(device);
    m_mode = ReadMode;
    Result result = readHeader();
    if (result == Result::Success)
        result = reset();
    if (result != Result::Success) {
        release();
        m_format.reset();
        m_formatExtra.clear();
        return Result::Failure;
    }
    return Result::Success;
}

// Every size is checked against the file before it is used, so a damaged header fails the
// open instead of sending a read past the end of the file or a huge allocation.
WaveFile::Result WaveFile::readHeader()
{
    char header[kRiffHeaderSize];
    if (!readExactly(*m_device, header, kRiffHeaderSize))
        return Result::Failure;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return Result::Failure;
    m_riffEnd = kChunkHeaderSize + static_cast<std::int64_t>(readU32(header + 4));
    if (m_riffEnd > m_device->size() || m_riffEnd < kRiffHeaderSize)
        return Result::Failure;

    Chunk fmt;
    if (!findChunk("fmt ", &fmt) || fmt.size < kPcmFmtSize)
        return Result::Failure;
    char record[WaveFormat::kSerializedSize];
    if (!readExactly(*m_device, record, kPcmFmtSize))
        return Result::Failure;
    auto format = std::make_unique<WaveFormat>();
    format->formatTag = readU16(record);
    format->channels = readU16(record + 2);
    format->samplesPerSec = readU32(record + 4);
    format->avgBytesPerSec = readU32(record + 8);
    format->blockAlign = readU16(record + 12);
    format->bitsPerSample = readU16(record + 14);
    format->extraSize = 0;
    m_formatExtra.clear();
    // A PCM record ends after 16 bytes whatever the chunk says (an 18-byte chunk is common).
    if (format->formatTag != 1 && fmt.size >= WaveFormat::kSerializedSize) {
        if (!readExactly(*m_device, record + kPcmFmtSize, 2))
            return Result::Failure;
        format->extraSize = readU16(record + kPcmFmtSize);
        if (format->extraSize > fmt.size - WaveFormat::kSerializedSize)
            return Result::Failure;
        m_formatExtra = m_device->read(format->extraSize);
        if (m_formatExtra.size() != format->extraSize)
            return Result::Failure;
    }
    m_format = std::move(format);
    return Result::Success;
}

// Walks the chunks inside the RIFF chunk from its start; a chunk whose size runs past the
// RIFF chunk ends the walk with a failure. On success the position is the chunk's first byte.
bool WaveFile::findChunk(const char *id, Chunk *chunk)
{
    std::int64_t position = kRiffHeaderSize;
    while (position + kChunkHeaderSize <= m_riffEnd) {
        char header[kChunkHeaderSize];
        if (!m_device->seek(position) || !readExactly(*m_device, header, kChunkHeaderSize))
            return false;
        const std::uint32_t size = readU32(header + 4);
        const std::int64_t dataOffset = position + kChunkHeaderSize;
        if (dataOffset + size > m_riffEnd)
            return false;
        if (std::memcmp(header, id, 4) == 0) {
            chunk->dataOffset = dataOffset;
            chunk->size = size;
            return true;
        }
        position = dataOffset + size + (size & 1);
    }
    return false;
}

WaveFile::Result WaveFile::openForWriting(const QString &path, const WaveFormat &format, const QByteArray &extra)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate))
        return Result::Failure;

    QByteArray header("RIFF");
    appendU32(header, 0); // filled in at close
    header.append("WAVE");
    header.append("fmt ");
    const bool pcm = format.formatTag == 1;
    appendU32(header, pcm ? kPcmFmtSize : WaveFormat::kSerializedSize + format.extraSize);
    appendU16(header, format.formatTag);
    appendU16(header, format.channels);
    appendU32(header, format.samplesPerSec);
    appendU32(header, format.avgBytesPerSec);
    appendU16(header, format.blockAlign);
    appendU16(header, format.bitsPerSample);
    if (!pcm) {
        appendU16(header, format.extraSize);
        QByteArray bytes = extra.left(format.extraSize);
        bytes.append(QByteArray(format.extraSize - bytes.size(), '\0'));
        header.append(bytes);
        if (format.extraSize & 1)
            header.append('\0');
    }
    header.append("fact");
    appendU32(header, 4);
    m_factValueOffset = header.size();
    appendU32(header, kFactOpenValue);
    header.append("data");
    appendU32(header, 0); // filled in at close
    if (file->write(header) != header.size() || !file->flush())
        return Result::Failure;

    m_device = std::move(file);
    m_mode = WriteMode;
    m_dataChunk.dataOffset = header.size();
    m_dataChunk.size = 0;
    m_dataSize = 0;
    return Result::Success;
}

WaveFile::Result WaveFile::read(void *destination, std::uint32_t size, std::uint32_t *count)
{
    if (count == nullptr)
        return Result::InvalidArgument;
    *count = 0;
    if (!m_device || m_mode != ReadMode)
        return Result::NotInitialised;
    const std::uint32_t n = std::min(size, m_dataLeft);
    if (n == 0)
        return Result::Success;
    if (destination == nullptr) {
        if (!m_device->seek(m_device->pos() + n))
            return Result::Failure;
        m_dataLeft -= n;
        *count = n;
        return Result::Success;
    }
    const qint64 got = m_device->read(static_cast<char *>(destination), n);
    if (got <= 0)
        return Result::Failure;
    m_dataLeft -= static_cast<std::uint32_t>(got);
    *count = static_cast<std::uint32_t>(got);
    return got == n ? Result::Success : Result::Failure;
}

WaveFile::Result WaveFile::write(std::uint32_t size, const void *source, std::uint32_t *count)
{
    if (count == nullptr || (source == nullptr && size > 0))
        return Result::InvalidArgument;
    *count = 0;
    if (!m_device)
        return Result::NotInitialised;
    if (m_fromMemory)
        return Result::NotImplemented;
    if (m_mode != WriteMode)
        return Result::Failure;
    // The RIFF size field must still fit: refuse data that would overflow it.
    const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max() - static_cast<std::uint64_t>(m_dataChunk.dataOffset);
    if (static_cast<std::uint64_t>(m_dataSize) + size + 1 > limit)
        return Result::Failure;
    const qint64 written = m_device->write(static_cast<const char *>(source), size);
    if (written < 0)
        return Result::Failure;
    m_dataSize += static_cast<std::uint32_t>(written);
    *count = static_cast<std::uint32_t>(written);
    return written == size ? Result::Success : Result::Failure;
}

WaveFile::Result WaveFile::reset()
{
    if (!m_device)
        return Result::NotInitialised;
    if (m_mode == WriteMode)
        return Result::Success; // the data chunk was started by open()
    if (!findChunk("data", &m_dataChunk))
        return Result::Failure;
    m_dataSize = m_dataChunk.size;
    m_dataLeft = m_dataChunk.size;
    return m_device->seek(m_dataChunk.dataOffset) ? Result::Success : Result::Failure;
}

WaveFile::Result WaveFile::close()
{
    if (!m_device)
        return Result::NotInitialised;
    Result result = Result::Success;
    if (m_mode == WriteMode)
        result = closeWritten();
    release();
    return result;
}

WaveFile::Result WaveFile::closeWritten()
{
    auto *file = static_cast<QFile *>(m_device.get());
    bool ok = true;
    if (m_dataSize & 1)
        ok = file->write("\0", 1) == 1;
    const std::int64_t fileSize = m_dataChunk.dataOffset + m_dataSize + (m_dataSize & 1);
    ok = ok && writeU32At(*file, m_dataChunk.dataOffset - 4, m_dataSize);
    ok = ok && writeU32At(*file, 4, static_cast<std::uint32_t>(fileSize - kChunkHeaderSize));
    ok = ok && writeU32At(*file, m_factValueOffset, 0);
    ok = ok && file->flush();
    file->close();
    ok = ok && file->error() == QFileDevice::NoError;
    return ok ? Result::Success : Result::Failure;
}

void WaveFile::release()
{
    if (m_device)
        m_device->close();
    m_device.reset();
    m_memoryImage.clear();
    m_fromMemory = false;
    m_mode = 0;
    m_dataLeft = 0;
}

} // namespace sonavell
