#include "play/wavedocument.h"

#include "play/peakfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace sonavell {
namespace {

int readWord(const unsigned char *bytes)
{
    return bytes[0] | (bytes[1] << 8);
}

// One band's column in the making: the range of the offset values seen so far.
struct ColumnRange
{
    int lowest = 0;
    int highest = 0;
    int count = 0;
    int column = 0;

    void add(int value)
    {
        if (count == 0) {
            lowest = highest = value;
        } else {
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
        ++count;
    }
};

// Screen y of an offset value: top + u × height / full. Rising in u, so a column's highest
// and lowest value give its largest and smallest y.
int screenY(const WaveBand &band, int offset, int full)
{
    return band.top + static_cast<int>(static_cast<qint64>(offset) * band.height / full);
}

void closeColumn(ColumnRange &range, const WaveBand &band, int full, std::vector<QPoint> &cache)
{
    cache.emplace_back(range.column, screenY(band, range.highest, full));
    cache.emplace_back(range.column, screenY(band, range.lowest, full));
    ++range.column;
    range.count = 0;
}

} // namespace

bool WaveDocument::load(const QString &path)
{
    clear();
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    unsigned char header[kHeaderBytes] = {};
    file.read(reinterpret_cast<char *>(header), kHeaderBytes);
    m_channels = readWord(header + 22);
    m_sampleRate = static_cast<int>(readWord(header + 24) | (static_cast<unsigned>(readWord(header + 26)) << 16));
    m_bitsPerSample = readWord(header + 34);
    m_frameBytes = m_channels * (m_bitsPerSample / 8);
    m_dataBytes = file.size() - kHeaderBytes;
    file.close();
    m_path = path;
    m_loaded = true;

    const QString peaks = peakPath();
    const QFileInfo peakInfo(peaks);
    const QFileInfo waveInfo(path);
    if (!peakInfo.exists() || peakInfo.lastModified() <= waveInfo.lastModified())
        peakfile::build(path, peaks, m_channels == 1);
    m_zoom = m_maxZoom = initialZoom(QFileInfo(peaks).size());
    return true;
}

void WaveDocument::clear()
{
    m_path.clear();
    m_loaded = false;
    m_channels = m_sampleRate = m_bitsPerSample = m_frameBytes = 0;
    m_dataBytes = 0;
    m_zoom = m_maxZoom = kMinZoom;
    m_cachedZoom = 0;
    m_cachedBands.clear();
    m_firstColumn = 0;
    m_caretFrame = 0;
    m_anchorFrame = -1;
    m_dragging = m_edgeDrag = false;
    m_cacheA.clear();
    m_cacheB.clear();
}

QString WaveDocument::peakPath() const
{
    return m_path.isEmpty() ? QString() : peakfile::pathFor(m_path);
}

qint64 WaveDocument::totalFrames() const
{
    return m_frameBytes > 0 && m_dataBytes > 0 ? m_dataBytes / m_frameBytes : 0;
}

bool WaveDocument::isDrawable() const
{
    return m_loaded && (m_bitsPerSample == 8 || m_bitsPerSample == 16) && (m_channels == 1 || m_channels == 2);
}

int WaveDocument::initialZoom(qint64 peakBytes)
{
    const qint64 count = kMinZoom * (peakBytes / 2048);
    int zoom = kMinZoom;
    if (count > kMinZoom) {
        while (zoom <= count)
            zoom *= 2;
    }
    return zoom;
}

bool WaveDocument::zoomIn()
{
    if (m_zoom <= kZoomInLimit)
        return false;
    m_zoom /= 2;
    return true;
}

bool WaveDocument::zoomOut()
{
    if (m_zoom >= m_maxZoom)
        return false;
    m_zoom *= 2;
    return true;
}

void WaveDocument::getScrollRange(int clientWidth, int *min, int *range) const
{
    const qint64 columns = totalFrames() / m_zoom;
    *min = 0;
    *range = static_cast<int>(std::max<qint64>(0, columns - clientWidth) + kScrollSlack);
}

void WaveDocument::getSelectionBytes(qint64 *start, qint64 *end) const
{
    *start = std::min(m_caretFrame, m_anchorFrame) * m_frameBytes;
    *end = std::max(m_caretFrame, m_anchorFrame) * m_frameBytes;
}

qint64 WaveDocument::frameAt(int x) const
{
    const qint64 frame = (static_cast<qint64>(x) + m_firstColumn) * m_zoom;
    return std::clamp<qint64>(frame, 0, totalFrames());
}

bool WaveDocument::columnOf(qint64 frame, int clientWidth, int *x) const
{
    const qint64 column = frame / m_zoom;
    *x = static_cast<int>(column - m_firstColumn);
    return frame >= 0 && column > m_firstColumn && column < static_cast<qint64>(m_firstColumn) + clientWidth - 1;
}

bool WaveDocument::selectionColumns(int clientWidth, int *left, int *right) const
{
    if (m_anchorFrame < 0)
        return false;
    const qint64 from = std::min(m_caretFrame, m_anchorFrame) / m_zoom - m_firstColumn;
    const qint64 to = std::max(m_caretFrame, m_anchorFrame) / m_zoom - m_firstColumn;
    if (from == to || to < 0)
        return false;
    *left = static_cast<int>(std::clamp<qint64>(from, 0, clientWidth));
    *right = static_cast<int>(std::clamp<qint64>(to, 0, clientWidth));
    return *left < *right;
}

WaveDocument::Edge WaveDocument::edgeAt(int x, int clientWidth) const
{
    int left = 0;
    int right = 0;
    if (m_dragging || !selectionColumns(clientWidth, &left, &right))
        return Edge::None;
    if (std::abs(x - right) < kEdgeGrip)
        return Edge::Right;
    if (std::abs(x - left) < kEdgeGrip)
        return Edge::Left;
    return Edge::None;
}

void WaveDocument::press(int x, Edge edge)
{
    m_dragging = true;
    m_edgeDrag = edge != Edge::None;
    if (m_edgeDrag) {
        // The grabbed edge is the end whose column lies on that side.
        const bool caretIsLeft = m_caretFrame / m_zoom < m_anchorFrame / m_zoom;
        m_dragMovesCaret = (edge == Edge::Left) == caretIsLeft;
        return;
    }
    m_caretFrame = m_anchorFrame = frameAt(x);
    m_dragMovesCaret = true;
}

void WaveDocument::dragTo(int x)
{
    if (!m_dragging)
        return;
    (m_dragMovesCaret ? m_caretFrame : m_anchorFrame) = frameAt(x);
}

void WaveDocument::release()
{
    m_dragging = false;
    m_edgeDrag = false;
}

QString WaveDocument::rulerLabel(int column) const
{
    if (m_sampleRate <= 0 || m_frameBytes <= 0)
        return QStringLiteral("0:0.00");
    const qint64 bytes = static_cast<qint64>(column) * m_frameBytes * m_zoom;
    const qint64 minutes = bytes / m_sampleRate / m_frameBytes / 60;
    const double seconds = static_cast<double>(bytes) / m_sampleRate / m_frameBytes - 60.0 * static_cast<double>(minutes);
    return QString::asprintf("%d:%.2f", static_cast<int>(minutes), seconds);
}

std::vector<WaveBand> WaveDocument::bands(int clientHeight) const
{
    if (m_channels == 1)
        return {WaveBand{kRulerHeight, clientHeight - kRulerHeight}};
    const int half = (clientHeight - kRulerHeight) / 2;
    return {WaveBand{kRulerHeight, half - 1}, WaveBand{kRulerHeight + half + 1, half - 1}};
}

bool WaveDocument::updateCaches(int clientHeight)
{
    if (!isDrawable()) {
        m_cacheA.clear();
        m_cacheB.clear();
        return false;
    }
    const std::vector<WaveBand> layout = bands(clientHeight);
    bool rebuilt = false;
    if (m_zoom != m_cachedZoom || layout != m_cachedBands || m_cacheA.empty()) {
        m_cacheA.clear();
        m_cacheB.clear();
        m_cachedZoom = m_zoom;
        m_cachedBands = layout;
        readCaches(layout);
        rebuilt = true;
    }
    if (cacheCount() < m_firstColumn)
        m_firstColumn = cacheCount();
    return rebuilt;
}

bool WaveDocument::readCaches(const std::vector<WaveBand> &layout)
{
    QFile peaks(peakPath());
    if (!peaks.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const bool wide = m_bitsPerSample == 16;
    const int full = wide ? 65535 : 255;
    const int valueBytes = wide ? 2 : 1;
    const int blockBytes = wide ? 128000 : 64000;
    const int perColumn = m_zoom / kMinZoom;
    const bool stereo = layout.size() == 2;
    const qint64 columns = peaks.size() / peakfile::kGroupBytes * (peakfile::kGroupBytes / valueBytes)
        / (stereo ? 2 : 1) / perColumn;
    m_cacheA.reserve(static_cast<std::size_t>(columns) * 2);
    if (stereo)
        m_cacheB.reserve(static_cast<std::size_t>(columns) * 2);

    ColumnRange ranges[2];
    int band = 0;
    std::vector<unsigned char> block(static_cast<std::size_t>(blockBytes));
    for (;;) {
        const qint64 got = peaks.read(reinterpret_cast<char *>(block.data()), blockBytes);
        if (got <= 0)
            break;
        const qint64 values = got / valueBytes;
        for (qint64 i = 0; i < values; ++i) {
            // 16-bit: the signed word + 32767 as unsigned 16-bit; 8-bit: the byte itself.
            const int offset = wide ? static_cast<std::uint16_t>(static_cast<std::int16_t>(readWord(&block[i * 2])) + 32767)
                                    : block[static_cast<std::size_t>(i)];
            ColumnRange &range = ranges[band];
            range.add(offset);
            if (range.count == perColumn)
                closeColumn(range, layout[band], full, band == 0 ? m_cacheA : m_cacheB);
            if (stereo)
                band ^= 1;
        }
        if (got < blockBytes)
            break;
    }
    if (!stereo)
        m_cacheB = m_cacheA;
    return true;
}

} // namespace sonavell
