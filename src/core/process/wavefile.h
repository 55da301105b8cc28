#pragma once

#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

class QIODevice;

namespace sonavell {

// Reads and writes RIFF/WAVE files of PCM audio. Every call answers with a result code and
// shows nothing: the caller decides what to tell the user. One owner, one thread at a time.
//
// Written layout: "RIFF" size "WAVE", "fmt " (16 bytes for PCM), "fact" (0xFFFFFFFF while the
// file is open, 0 after close), "data" size, the samples and a zero pad byte when their
// count is odd. The sizes are filled in by close().
class WaveFile
{
public:
    enum class Result {
        Success = 0,
        InvalidArgument,
        NotInitialised, // no file is open
        NotImplemented, // writing to a file image read from memory
        Failure,        // any I/O or format error
    };
    enum Mode { ReadMode = 1, WriteMode = 2 };

    WaveFile();
    ~WaveFile();
    WaveFile(const WaveFile &) = delete;
    WaveFile &operator=(const WaveFile &) = delete;

    // ReadMode ignores format and reads it from the file, leaving the read position at the
    // first data byte. WriteMode creates or truncates the file with format; for a format
    // other than PCM, extra holds its extraSize bytes of format-specific data (zeros if short).
    Result open(const QString &path, const WaveFormat *format, int mode, const QByteArray &extra = {});
    // Reads a whole file image held in memory, as open() reads a file.
    Result openMemory(const QByteArray &image);

    // Reads up to size bytes of the data chunk; a null destination skips them.
    // At the end of the data the call succeeds with count 0.
    Result read(void *destination, std::uint32_t size, std::uint32_t *count);
    // Appends size bytes to the data chunk.
    Result write(std::uint32_t size, const void *source, std::uint32_t *count);
    // Reading: back to the first data byte. Writing: the data chunk is started by open().
    Result reset();
    // Writing: fills in the sizes and closes. Reading: closes.
    Result close();

    bool isOpen() const { return m_device != nullptr; }
    // Null until a file has been opened for reading.
    const WaveFormat *format() const { return m_format.get(); }
    // The bytes that follow the 18-byte record for formats other than PCM.
    const QByteArray &formatExtra() const { return m_formatExtra; }
    // Size of the data chunk of a file opened for reading; bytes written so far when writing.
    std::uint32_t dataSize() const { return m_dataSize; }

private:
    struct Chunk
    {
        std::int64_t dataOffset = 0;
        std::uint32_t size = 0;
    };

    Result openForReading(std::unique_ptr<QIODevice> device);
    Result openForWriting(const QString &path, const WaveFormat &format, const QByteArray &extra);
    Result readHeader();
    bool findChunk(const char *id, Chunk *chunk);
    Result closeWritten();
    void release();

    std::unique_ptr<WaveFormat> m_format;
    QByteArray m_formatExtra;
    std::unique_ptr<QIODevice> m_device;
    QByteArray m_memoryImage;
    std::int64_t m_riffEnd = 0;
    Chunk m_dataChunk;
    std::uint32_t m_dataLeft = 0; // reading: bytes of the data chunk still to read
    std::uint32_t m_dataSize = 0;
    std::int64_t m_factValueOffset = 0;
    int m_mode = 0;
    bool m_fromMemory = false;
};

} // namespace sonavell
