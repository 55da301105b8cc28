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

// The offset value u of a peak value: 16-bit, the signed word + 32767 as unsigned 16-bit;
// 8-bit, the byte itself.
template <bool Wide>
int offsetAt(const unsigned char *values, std::size_t index)
{
    if constexpr (Wide) {
        const auto word = static_cast<std::int16_t>(values[2 * index] | (values[2 * index + 1] << 8));
        return static_cast<std::uint16_t>(word + 32767);
    } else {
        return values[index];
    }
}

// Screen y of an offset value: top + u × height / full. Rising in u, so a column's highest and
// lowest value give its largest and smallest y.
template <bool Wide>
int screenY(const WaveBand &band, int offset)
{
    constexpr qint64 kFull = Wide ? 65535 : 255;
    return band.top + static_cast<int>(static_cast<qint64>(offset) * band.height / kFull);
}

// Values feed the bands in turn (left, right, left, ... for stereo); every `perColumn` values
// of a band close one column with the points (x, largest y) and (x, smallest y). A last,
// partial column is left out.
template <bool Wide>
void buildColumns(const std::vector<unsigned char> &bytes, int perColumn, const std::vector<WaveBand> &layout,
                  std::vector<QPoint> &cacheA, std::vector<QPoint> &cacheB)
{
    const std::size_t bandCount = layout.size();
    const std::size_t values = bytes.size() / (Wide ? 2 : 1);
    const std::size_t columns = values / bandCount / static_cast<std::size_t>(perColumn);
    cacheA.reserve(columns * 2);
    if (bandCount == 2)
        cacheB.reserve(columns * 2);
    const unsigned char *data = bytes.data();
    const std::size_t step = bandCount;
    for (std::size_t column = 0; column < columns; ++column) {
        const std::size_t first = column * static_cast<std::size_t>(perColumn) * step;
        for (std::size_t band = 0; band < bandCount; ++band) {
            int lowest = offsetAt<Wide>(data, first + band);
            int highest = lowest;
            for (std::size_t k = 1; k < static_cast<std::size_t>(perColumn); ++k) {
                const int value = offsetAt<Wide>(data, first + k * step + band);
                lowest = std::min(lowest, value);
                highest = std::max(highest, value);
            }
            std::vector<QPoint> &cache = band == 0 ? cacheA : cacheB;
            const int x = static_cast<int>(column);
            cache.emplace_back(x, screenY<Wide>(layout[band], highest));
            cache.emplace_back(x, screenY<Wide>(layout[band], lowest));
        }
    }
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
    // Read whole: a column's values may straddle any block boundary, and even the peak file of a
    // 4 GB WAV is only 32 MB.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max<qint64>(0, peaks.size())));
    const qint64 got = peaks.read(reinterpret_cast<char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (got < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(got));
    const int perColumn = m_zoom / kMinZoom;
    if (m_bitsPerSample == 16)
        buildColumns<true>(bytes, perColumn, layout, m_cacheA, m_cacheB);
    else
        buildColumns<false>(bytes, perColumn, layout, m_cacheA, m_cacheB);
    if (layout.size() == 1)
        m_cacheB = m_cacheA;
    return true;
}

} // namespace sonavell
