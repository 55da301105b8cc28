#pragma once

#include "core/mp3/framewalker.h"
#include "core/mp3/vbrheader.h"

#include <QByteArray>
#include <QtGlobal>

#include <vector>

class QIODevice;

namespace sonavell {

// What a full frame walk found in a file: where its audio part lies between the tags, the
// frames in it and the stretches that are not frames. The operations that replace a file ask
// it whether the file is MP3 audio at all before they touch it.
struct AudioScan
{
    qint64 audioBegin = 0; // after leading ID3v2 tags
    qint64 audioEnd = 0;   // before trailing ID3v1/APEv2/Lyrics3 tags
    qint64 firstFrame = -1;
    qint64 leadingJunk = 0;
    qint64 frameBytes = 0; // every frame, a Xing/Info/VBRI frame included
    qint64 frames = 0;     // audio frames
    qint64 samples = 0;    // per channel, over the audio frames
    double seconds = 0.0;
    int sampleRate = 0;    // of the first frame
    int samplesPerFrame = 0;
    bool freeFormat = false;
    bool hasVbrHeader = false;
    VbrHeader vbr;
    // Frames that follow one another without a gap, the tag frame included.
    std::vector<ByteStretch> runs;
    std::vector<ByteStretch> damaged;

    // The frames account for nearly all of the audio part from the first frame on: a file that
    // is not MP3 (WAV, AAC, FLAC, random data) can hold chance frames, but not that many.
    bool holdsAudio() const;
    // Samples per channel of the real audio: without the encoder's delay and padding when the
    // LAME tag gives them for the frames present, else every frame's.
    qint64 gaplessSamples() const;
    double playingSeconds() const { return sampleRate > 0 && samples > 0 ? double(gaplessSamples()) / sampleRate : seconds; }
    // The frames present and the tag's count agree (within a frame); true without a count.
    bool tagCountAgrees() const;
};

AudioScan scanAudio(QIODevice &device);
AudioScan scanAudio(const QByteArray &image);

} // namespace sonavell
