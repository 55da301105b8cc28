#pragma once

#include "core/decode/decoder.h"
#include "core/encode/mp3encoder.h"
#include "core/mp3/framewalker.h"
#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace sonavell {

class BatchJob;

// The state of one decoder run over one input: parameters, frame count, and the MP3 writer of
// the standard handler, created at the first decoded frame. Owned by the job step that runs
// the decoder and used on that step's (worker) thread only.
class DecodeContext
{
public:
    // The job gives the cancel flag and the progress sink; it is not owned and may be null.
    explicit DecodeContext(BatchJob *job = nullptr);
    ~DecodeContext();
    DecodeContext(const DecodeContext &) = delete;
    DecodeContext &operator=(const DecodeContext &) = delete;

    void setBitrateKbps(int kbps) { m_bitrateKbps = kbps; }
    int bitrateKbps() const { return m_bitrateKbps; }
    void setVolumeScale(float scale) { m_volumeScale = scale; }
    float volumeScale() const { return m_volumeScale; }
    void setOutputPath(const QString &path) { m_outputPath = path; }
    const QString &outputPath() const { return m_outputPath; }
    // An open file the encoder writes instead of creating outputPath (a ReplacementFile's); -1
    // for none. Not owned.
    void setOutputDescriptor(int fd) { m_outputDescriptor = fd; }
    void setInputPath(const QString &path) { m_inputPath = path; }
    const QString &inputPath() const { return m_inputPath; }
    // Length of the input in whole seconds (the range of the time reports).
    void setTotalSeconds(int seconds) { m_totalSeconds = seconds; }
    int totalSeconds() const { return m_totalSeconds; }
    // Takes an input file: its path, its playing length as the range of the time reports (told
    // to the job's sink), and opens it for decoding. False, with the job's open error
    // reported, when it cannot be read, and with notAudioMessage() when it is not MP3 audio.
    bool openInput(const QString &path, Mp3Source *input);
    static QString notAudioMessage(const QString &path);

    // The PCM format of the output, taken from the first frame.
    const WaveFormat &format() const { return m_format; }
    int framesDecoded() const { return m_framesDecoded; }
    int elapsedSeconds() const { return m_elapsedSeconds; }
    // The end of the last counted frame, exact.
    double elapsed() const { return m_time.seconds(); }
    // The run was stopped because the job was cancelled.
    bool wasCancelled() const { return m_cancelled; }

    // The first steps of every output handler: counts the frame, reports the time reached and
    // tests the job's cancel flag; Stop when cancelled.
    DecodeFlow countFrame(const DecodedFrame &frame);
    // Sets the format from a frame: PCM, its channels and rate, 16 bits.
    void takeFormat(const DecodedFrame &frame);

    // The standard handler: each frame, scaled by the volume, goes to an Mp3Encoder writing
    // outputPath at bitrateKbps, created at the first frame with one frame as its chunk size.
    DecodeFlow encodeFrame(const DecodedFrame &frame);
    OutputHandler encodingHandler();
    // The encoding half of encodeFrame, for handlers that count the frame themselves and keep
    // only some frames. After finishEncoder() the next frame starts a new encoder and file.
    DecodeFlow writeFrame(const DecodedFrame &frame);
    // Frames handed to an encoder so far, over every output of the run.
    int framesEncoded() const { return m_framesEncoded; }

    // Encodes a remainder left by frames of another size, flushes and closes the output.
    // True when no encoder was created or every chunk reached the file.
    bool finishEncoder();
    bool hasEncoder() const { return m_encoder != nullptr; }
    // The encoder could not be started or failed on a chunk; None otherwise.
    Mp3Encoder::Error encoderError() const { return m_encoderError; }

private:
    bool createEncoder(const DecodedFrame &frame);
    bool pushPcm(const char *bytes, qsizetype count);

    std::unique_ptr<Mp3Encoder> m_encoder;
    QByteArray m_pcmBuffer;
    QByteArray m_carry; // bytes waiting for a whole encoder chunk
    int m_bitrateKbps = 32;
    float m_volumeScale = 1.0f;
    QString m_outputPath;
    int m_outputDescriptor = -1;
    WaveFormat m_format;
    int m_totalSeconds = 0;
    QString m_inputPath;
    int m_framesDecoded = 0;
    int m_elapsedSeconds = 0;
    PlayingTime m_time;
    int m_framesEncoded = 0;
    BatchJob *m_job = nullptr;
    bool m_cancelled = false;
    bool m_noticeGiven = false;
    Mp3Encoder::Error m_encoderError = Mp3Encoder::Error::None;
};

} // namespace sonavell
