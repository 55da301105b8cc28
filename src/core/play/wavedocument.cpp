#include "core/play/wavedocument.h"

#include "core/io/regularfile.h"
#include "core/play/peakfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstring>

namespace sonavell {
namespace {

int readWord(const unsigned char *bytes)
{
    return bytes[0] | (bytes[1] << 8);
}

// The offset value u of a peak value: 16-bit, the signed word + 32767 as unsigned 16-bit;
// 8-bit, the byte itself.
template <bool Wide> std::uint16_t offsetAt(const unsigned char *values, std::size_t index)
{
    if constexpr (Wide) {
        const auto word = static_cast<std::int16_t>(values[2 * index] | (values[2 * index + 1] << 8));
        return static_cast<std::uint16_t>(word + 32767);
    } else {
        return values[index];
    }
}

// Values feed the bands in turn (left, right, left, ... for stereo); every `span` values of a
// band make one column, kept as its (highest, lowest) offset value. `data` holds `columns` whole
// columns, which are appended to the bands.
template <bool Wide, std::size_t BandCount>
void appendColumns(const unsigned char *data, std::size_t columns, std::size_t span,
                   std::array<std::vector<std::uint16_t>, 2> &out)
{
    std::array<std::uint16_t *, BandCount> to;
    for (std::size_t band = 0; band < BandCount; ++band) {
        const std::size_t old = out[band].size();
        out[band].resize(old + columns * 2);
        to[band] = out[band].data() + old;
    }
    std::size_t at = 0;
    for (std::size_t column = 0; column < columns; ++column) {
        std::array<std::uint16_t, BandCount> lowest;
        std::array<std::uint16_t, BandCount> highest;
        for (std::size_t band = 0; band < BandCount; ++band)
            lowest[band] = highest[band] = offsetAt<Wide>(data, at++);
        for (std::size_t k = 1; k < span; ++k) {
            for (std::size_t band = 0; band < BandCount; ++band) {
                const std::uint16_t value = offsetAt<Wide>(data, at++);
                lowest[band] = std::min(lowest[band], value);
                highest[band] = std::max(highest[band], value);
            }
        }
        for (std::size_t band = 0; band < BandCount; ++band) {
            to[band][2 * column] = highest[band];
            to[band][2 * column + 1] = lowest[band];
        }
    }
}

// Twice the zoom: each pair of columns becomes one, an odd last column is left out, which is
// what counting the values afresh would give.
void halveColumns(const std::vector<std::uint16_t> &finer, std::size_t columns,
                  std::vector<std::uint16_t> &out)
{
    out.resize(columns * 2);
    const std::uint16_t *in = finer.data();
    std::uint16_t *to = out.data();
    for (std::size_t column = 0; column < columns; ++column, in += 4, to += 2) {
        to[0] = std::max(in[0], in[2]);
        to[1] = std::min(in[1], in[3]);
    }
}

// Screen y of an offset value: top + u × height / full. Monotonic in u (falling only when a
// tiny view leaves the band a negative height), so the y of a column's highest and lowest value
// are its largest and smallest y, in one order or the other.
template <int Full>
void appendPoints(const std::vector<std::uint16_t> &peaks, std::size_t columns, const WaveBand &band,
                  std::vector<QPoint> &cache)
{
    cache.clear();
    cache.reserve(columns * 2);
    const qint64 top = band.top;
    const qint64 height = band.height;
    const std::uint16_t *in = peaks.data();
    for (std::size_t column = 0; column < columns; ++column, in += 2) {
        const int x = static_cast<int>(column);
        const auto a = static_cast<int>(top + in[0] * height / Full);
        const auto b = static_cast<int>(top + in[1] * height / Full);
        cache.emplace_back(x, std::max(a, b));
        cache.emplace_back(x, std::min(a, b));
    }
}

// Where the samples start and how many bytes they take: the "data" chunk when the chunks lead
// to one (a WAV with a "fact" or "LIST" chunk has more than 40 header bytes, which would
// otherwise be drawn and cut as audio), else everything after a canonical 40-byte header.
qint64 findData(QFile &file, qint64 *dataBytes)
{
    const qint64 size = file.size();
    const QByteArray riff = file.read(12);
    if (riff.size() == 12 && riff.startsWith("RIFF") && riff.mid(8, 4) == "WAVE") {
        for (qint64 at = 12; at + 8 <= size;) {
            if (!file.seek(at))
                break;
            unsigned char head[8] = {};
            if (file.read(reinterpret_cast<char *>(head), sizeof head) != qint64(sizeof head))
                break;
            const qint64 length = readWord(head + 4) | (qint64(readWord(head + 6)) << 16);
            if (std::memcmp(head, "data", 4) == 0) {
                *dataBytes = std::min(length, size - at - 8);
                return at + 8;
            }
            at += 8 + length + (length & 1);
        }
    }
    *dataBytes = std::max<qint64>(0, size - WaveDocument::kHeaderBytes);
    return WaveDocument::kHeaderBytes;
}

} // namespace

bool WaveDocument::load(const QString &path)
{
    clear();
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!openRegularFile(file))
        return false;
    unsigned char header[kHeaderBytes] = {};
    file.read(reinterpret_cast<char *>(header), kHeaderBytes);
    m_channels = readWord(header + 22);
    m_sampleRate = static_cast<int>(readWord(header + 24) | (static_cast<unsigned>(readWord(header + 26)) << 16));
    m_bitsPerSample = readWord(header + 34);
    m_frameBytes = m_channels * (m_bitsPerSample / 8);
    file.seek(0);
    m_dataStart = findData(file, &m_dataBytes);
    file.close();
    m_path = path;
    m_loaded = true;

    // A peak file is reused only when it is newer than the WAV and has the size the WAV's data
    // implies: a damaged or foreign one would otherwise set the zoom and be read whole.
    const QString peaks = peakPath();
    const qint64 expected = peakfile::expectedSize(m_dataBytes);
    const QFileInfo peakInfo(peaks);
    const QFileInfo waveInfo(path);
    if (!peakInfo.exists() || peakInfo.lastModified() <= waveInfo.lastModified() || peakInfo.size() != expected)
        peakfile::build(path, peaks, m_channels == 1, m_dataStart, m_dataBytes);
    m_peakFileValid = QFileInfo(peaks).size() == expected;
    m_zoom = m_maxZoom = initialZoom(expected);
    return true;
}

void WaveDocument::clear()
{
    m_path.clear();
    m_loaded = false;
    m_channels = m_sampleRate = m_bitsPerSample = m_frameBytes = 0;
    m_dataBytes = 0;
    m_dataStart = kHeaderBytes;
    m_peakFileValid = false;
    m_zoom = m_maxZoom = kMinZoom;
    m_cachedZoom = 0;
    m_cachedBands.clear();
    m_firstColumn = 0;
    m_caretFrame = 0;
    m_anchorFrame = -1;
    m_dragging = m_edgeDrag = false;
    m_levels.clear();
    m_peaksRead = false;
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
    const qint64 count = kMinZoom * std::clamp<qint64>(peakBytes / 2048, 0, kMaxZoom / kMinZoom);
    qint64 zoom = kMinZoom;
    if (count > kMinZoom) {
        while (zoom <= count && zoom < kMaxZoom)
            zoom *= 2;
    }
    return static_cast<int>(zoom);
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
    *range = static_cast<int>(std::clamp<qint64>(columns - clientWidth, 0, INT_MAX - kScrollSlack) + kScrollSlack);
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
    *x = static_cast<int>(std::clamp<qint64>(column - m_firstColumn, INT_MIN, INT_MAX));
    return frame >= 0 && column >= m_firstColumn && column < static_cast<qint64>(m_firstColumn) + clientWidth - 1;
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
    // Counted in frames: a byte count could overflow for wide frames far into a long file.
    const qint64 frames = static_cast<qint64>(column) * m_zoom;
    const qint64 minutes = frames / m_sampleRate / 60;
    const double seconds = static_cast<double>(frames) / m_sampleRate - 60.0 * static_cast<double>(minutes);
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
        if (m_peaksRead || readPeaks()) {
            const auto level = std::find_if(m_levels.begin(), m_levels.end(),
                                            [this](const ColumnPeaks &l) { return l.zoom == m_zoom; });
            if (level != m_levels.end())
                buildPoints(*level, layout);
        }
        rebuilt = true;
    }
    if (cacheCount() < m_firstColumn)
        m_firstColumn = cacheCount();
    return rebuilt;
}

// Reads the whole peak file and derives the columns of every zoom the document can reach: zoom
// in stops at 512 (or at the loaded zoom when that is smaller), zoom out at maxZoom. The finest
// zoom is counted from the values, each coarser one from the one below it.
bool WaveDocument::readPeaks()
{
    if (!m_peakFileValid)
        return false;
    QFile peaks(peakPath());
    if (!openRegularFile(peaks, QIODevice::Unbuffered))
        return false;

    int finest = m_maxZoom;
    while (finest > kZoomInLimit)
        finest /= 2;
    const std::size_t bandCount = m_channels == 2 ? 2 : 1;
    const bool wide = m_bitsPerSample == 16;
    const auto span = static_cast<std::size_t>(finest / kMinZoom);
    auto append = wide ? (bandCount == 2 ? appendColumns<true, 2> : appendColumns<true, 1>)
                       : (bandCount == 2 ? appendColumns<false, 2> : appendColumns<false, 1>);

    // Read in blocks of whole columns, so that no column straddles two blocks; one small buffer
    // reused costs far less than the whole file in fresh memory. A last, partial column is left
    // out.
    const std::size_t columnBytes = span * bandCount * (wide ? 2 : 1);
    constexpr std::size_t kBlockBytes = 256 * 1024;
    std::vector<unsigned char> block(std::max<std::size_t>(1, kBlockBytes / columnBytes) * columnBytes);
    m_levels.clear();
    ColumnPeaks &first = m_levels.emplace_back();
    first.zoom = finest;
    const auto expected = static_cast<std::size_t>(std::max<qint64>(0, peaks.size())) / columnBytes;
    for (std::size_t band = 0; band < bandCount; ++band)
        first.bands[band].reserve(expected * 2);
    for (;;) {
        std::size_t filled = 0;
        while (filled < block.size()) {
            const qint64 got = peaks.read(reinterpret_cast<char *>(block.data() + filled),
                                          static_cast<qint64>(block.size() - filled));
            if (got < 0) {
                m_levels.clear();
                return false;
            }
            if (got == 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        const std::size_t columns = filled / columnBytes;
        append(block.data(), columns, span, first.bands);
        first.columns += columns;
        if (filled < block.size())
            break;
    }

    // Each coarser zoom from the one below it.
    while (m_levels.back().zoom < m_maxZoom) {
        ColumnPeaks coarser;
        const ColumnPeaks &finer = m_levels.back();
        coarser.zoom = finer.zoom * 2;
        coarser.columns = finer.columns / 2;
        for (std::size_t band = 0; band < bandCount; ++band)
            halveColumns(finer.bands[band], coarser.columns, coarser.bands[band]);
        m_levels.push_back(std::move(coarser));
    }
    m_peaksRead = true;
    return true;
}

void WaveDocument::buildPoints(const ColumnPeaks &level, const std::vector<WaveBand> &layout)
{
    for (std::size_t band = 0; band < layout.size(); ++band) {
        std::vector<QPoint> &cache = band == 0 ? m_cacheA : m_cacheB;
        if (m_bitsPerSample == 16)
            appendPoints<65535>(level.bands[band], level.columns, layout[band], cache);
        else
            appendPoints<255>(level.bands[band], level.columns, layout[band], cache);
    }
    if (layout.size() == 1)
        m_cacheB = m_cacheA;
}

} // namespace sonavell
