#pragma once

#include <QPoint>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace sonavell {

// A horizontal strip of the view where one channel is drawn.
struct WaveBand
{
    int top = 0;
    int height = 0;

    friend bool operator==(const WaveBand &, const WaveBand &) = default;
};

// The waveform editor's open document: the WAV file shown, its peak file, zoom, scroll, caret
// and selection, and the screen points of the waveform per column. The view only draws what
// this computes; every position here is in sample frames or pixel columns, the byte offsets
// handed to the editor are frames × frameBytes.
//
// The format is read where a canonical header has it; the samples are the "data" chunk's
// (everything after 40 bytes when no data chunk is found), so byte offsets count from the
// start of the data.
//
// Used on the view's thread only.
class WaveDocument
{
public:
    static constexpr int kHeaderBytes = 40;
    static constexpr int kMinZoom = 128;       // frames per column of one peak entry
    static constexpr int kZoomInLimit = 512;   // zoom in stops here
    static constexpr int kMaxZoom = 1 << 30;   // zoom out stops here whatever the file's length
    static constexpr int kRulerHeight = 30;
    static constexpr int kLabelEvery = 80;     // columns between ruler labels
    static constexpr int kSmallTickEvery = 10; // columns between small ruler ticks
    static constexpr int kScrollSlack = 60;    // columns the scroll range reaches past the end
    static constexpr int kEdgeGrip = 4;        // pixels within which the mouse takes a selection edge

    enum class Edge { None, Left, Right };

    // Loads a WAV file and writes or reuses its peak file. An empty path empties the view.
    // False when nothing is shown afterwards.
    bool load(const QString &path);

    bool isLoaded() const { return m_loaded; }
    const QString &path() const { return m_path; }
    QString peakPath() const;
    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    int bitsPerSample() const { return m_bitsPerSample; }
    int frameBytes() const { return m_frameBytes; }
    qint64 dataBytes() const { return m_dataBytes; }
    qint64 totalFrames() const;
    // Only 8- and 16-bit mono or stereo files have a waveform.
    bool isDrawable() const;

    int zoom() const { return m_zoom; }
    int maxZoom() const { return m_maxZoom; }
    // Halve / double the zoom within its limits; true when it changed.
    bool zoomIn();
    bool zoomOut();
    // The zoom that puts the whole file of a peak file of `peakBytes` into fewer than 512 columns.
    static int initialZoom(qint64 peakBytes);

    int firstColumn() const { return m_firstColumn; }
    void scrollTo(int column) { m_firstColumn = column < 0 ? 0 : column; }
    void getScrollRange(int clientWidth, int *min, int *range) const;

    qint64 caretFrame() const { return m_caretFrame; }
    qint64 anchorFrame() const { return m_anchorFrame; }
    // Byte offsets of the selection's ends, smaller first; start is negative without a
    // selection, and start == end after a click without a drag.
    void getSelectionBytes(qint64 *start, qint64 *end) const;

    // The frame under client x, clamped to 0 .. totalFrames.
    qint64 frameAt(int x) const;
    // The client x of a frame's column; false when that column is not on screen (the last
    // column is left out: the 2-pixel caret would not fit).
    bool columnOf(qint64 frame, int clientWidth, int *x) const;
    // The inverted area of the selection in client columns [left, right); false when none shows.
    bool selectionColumns(int clientWidth, int *left, int *right) const;

    // Mouse: which selection edge lies under x (none while dragging), a press, a drag, a release.
    Edge edgeAt(int x, int clientWidth) const;
    void press(int x, Edge edge);
    void dragTo(int x);
    void release();
    bool isDragging() const { return m_dragging; }

    // The ruler label of an absolute column, "%d:%.2f" (minutes, seconds without a leading zero).
    QString rulerLabel(int column) const;

    // Bands for a client area `clientHeight` high: one for mono, two for stereo, below the ruler.
    std::vector<WaveBand> bands(int clientHeight) const;
    // Rebuilds the point caches from the peak file when the zoom or the band layout changed
    // since the last build (or nothing is cached); true when it rebuilt them. Also keeps
    // firstColumn within the cached columns. The peak file is read once per load; each zoom's
    // column extremes are derived from it then, so a zoom step only turns them into points.
    bool updateCaches(int clientHeight);
    // Two points per column, (x, largest y) then (x, smallest y); cacheB is the second channel
    // (the same points as cacheA in mono files).
    const std::vector<QPoint> &cacheA() const { return m_cacheA; }
    const std::vector<QPoint> &cacheB() const { return m_cacheB; }
    int cacheCount() const { return static_cast<int>(m_cacheA.size()); }

private:
    // One zoom's columns: for each band the highest and the lowest offset value of every column,
    // in turn. Offset values are layout-free, so a resized view reuses them too.
    struct ColumnPeaks
    {
        int zoom = 0;
        std::size_t columns = 0;
        std::array<std::vector<std::uint16_t>, 2> bands;
    };

    void clear();
    bool readPeaks();
    void buildPoints(const ColumnPeaks &level, const std::vector<WaveBand> &bands);

    QString m_path;
    bool m_loaded = false;
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_bitsPerSample = 0;
    int m_frameBytes = 0;
    qint64 m_dataBytes = 0;
    qint64 m_dataStart = kHeaderBytes; // file offset of the first sample
    bool m_peakFileValid = false;      // the peak file has the size the data implies

    int m_zoom = kMinZoom;
    int m_maxZoom = kMinZoom;
    int m_cachedZoom = 0;
    std::vector<WaveBand> m_cachedBands;
    int m_firstColumn = 0;
    qint64 m_caretFrame = 0;
    qint64 m_anchorFrame = -1;

    bool m_dragging = false;
    bool m_edgeDrag = false;
    bool m_dragMovesCaret = true;

    // Every zoom the document can reach, finest first, doubling up to maxZoom; read on first use
    // after a load.
    std::vector<ColumnPeaks> m_levels;
    bool m_peaksRead = false;

    std::vector<QPoint> m_cacheA;
    std::vector<QPoint> m_cacheB;
};

} // namespace sonavell
