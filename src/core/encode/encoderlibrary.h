#pragma once

#include <QString>

#include <cstdint>

namespace sonavell {

// What the encoder asks of the library for one output file. Every value not set here is the
// library's own choice, and the defaults give constant bit rate.
struct EncoderConfig
{
    static constexpr std::uint32_t kExtendedLayout = 256;
    static constexpr std::uint32_t kModeStereo = 0;
    static constexpr std::uint32_t kModeMono = 3;

    std::uint32_t formatSelector = kExtendedLayout;
    std::uint32_t sampleRate = 44100;
    std::uint32_t resampleRate = 0; // 0: no request, the library decides
    std::uint32_t mode = kModeStereo;
    std::uint32_t bitRate = 160; // kbit/s
    std::uint32_t emphasis = 0;
    bool crc = false;
    bool copyright = false;
    bool original = true;
    bool writeVbrHeader = true;
    bool noBitReservoir = true;
};

struct EncoderStream;

// The MP3 encoder library (libmp3lame), opened with dlopen and used through the
// init/encode/deinit/close contract. Entry points are looked up by name when loading;
// all but the Info tag writer must be present.
class EncoderLibrary
{
public:
    static constexpr int kOk = 0;
    static constexpr int kError = -1;

    ~EncoderLibrary();

    bool load(const QString &fileName);
    bool isLoaded() const { return m_handle != nullptr; }
    QString errorText() const { return m_error; }

    // samplesPerChunk counts 16-bit values of all channels; outputBufferSize is enough for
    // the MP3 bytes of one chunk.
    int initStream(const EncoderConfig &config, std::uint32_t &samplesPerChunk, std::uint32_t &outputBufferSize,
                   EncoderStream *&stream);
    // What the library settled on for an open stream (it substitutes a bit rate the MPEG
    // version lacks, and may resample); 0 when the library cannot tell.
    int streamBitRate(EncoderStream *stream) const;
    int streamSampleRate(EncoderStream *stream) const;
    int encodeChunk(EncoderStream *stream, std::uint32_t sampleCount, const std::int16_t *pcm,
                    unsigned char *output, std::uint32_t outputSize, std::uint32_t &outputBytes);
    int deinitStream(EncoderStream *stream, unsigned char *output, std::uint32_t outputSize,
                     std::uint32_t &outputBytes);
    int closeStream(EncoderStream *stream);
    // The finished Info tag frame for the frame the library reserved at the start of the file;
    // 0 bytes when the library has none to give.
    std::uint32_t infoTag(EncoderStream *stream, unsigned char *buffer, std::uint32_t size);
    QString version() const;

private:
    struct Api;
    void *m_handle = nullptr;
    Api *m_api = nullptr;
    QString m_error;
};

} // namespace sonavell
