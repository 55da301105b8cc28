#include "core/settings/recordersettings.h"

#include "core/io/regularfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>

namespace sonavell {

namespace {

// Little-endian writer and bounds-checked reader for the settings layout.
class ByteWriter
{
public:
    void u8(std::uint8_t v) { m_bytes.append(static_cast<char>(v)); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }

    // Count in one byte below 255, else 0xFF + uint16 below 0xFFFE, else 0xFF 0xFFFF + uint32.
    void countedText(const QString &text)
    {
        const QByteArray bytes = text.toUtf8();
        const auto count = static_cast<std::uint32_t>(bytes.size());
        if (count < 0xFF) {
            u8(static_cast<std::uint8_t>(count));
        } else if (count < 0xFFFE) {
            u8(0xFF);
            u16(static_cast<std::uint16_t>(count));
        } else {
            u8(0xFF);
            u16(0xFFFF);
            u32(count);
        }
        m_bytes.append(bytes);
    }

    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// UTF-8 as it is stored, a leading byte-order mark included (QString::fromUtf8 would drop it,
// and a name starting with U+FEFF would come back as another name).
QString fromStoredUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

class ByteReader
{
public:
    explicit ByteReader(const QByteArray &bytes) : m_bytes(bytes) {}

    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    bool u8(std::uint8_t &v)
    {
        if (remaining() < 1)
            return false;
        v = static_cast<std::uint8_t>(m_bytes[m_pos++]);
        return true;
    }
    bool u16(std::uint16_t &v)
    {
        std::uint8_t lo, hi;
        if (remaining() < 2 || !u8(lo) || !u8(hi))
            return false;
        v = static_cast<std::uint16_t>(lo | (hi << 8));
        return true;
    }
    bool u32(std::uint32_t &v)
    {
        std::uint16_t lo, hi;
        if (remaining() < 4 || !u16(lo) || !u16(hi))
            return false;
        v = lo | (static_cast<std::uint32_t>(hi) << 16);
        return true;
    }
    bool i32(std::int32_t &v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }

    // The uint16 0xFFFE after 0xFF marks 16-bit characters; their count follows in the same scheme.
    bool countedText(QString &text)
    {
        bool wide = false;
        std::uint32_t count = 0;
        for (;;) {
            std::uint8_t shortCount;
            if (!u8(shortCount))
                return false;
            if (shortCount < 0xFF) {
                count = shortCount;
                break;
            }
            std::uint16_t midCount;
            if (!u16(midCount))
                return false;
            if (midCount == 0xFFFE) {
                if (wide)
                    return false;
                wide = true;
                continue;
            }
            if (midCount == 0xFFFF) {
                if (!u32(count))
                    return false;
            } else {
                count = midCount;
            }
            break;
        }
        const qsizetype byteCount = static_cast<qsizetype>(count) * (wide ? 2 : 1);
        if (byteCount > remaining())
            return false;
        const char *start = m_bytes.constData() + m_pos;
        if (wide) {
            QString decoded(static_cast<qsizetype>(count), Qt::Uninitialized);
            for (std::uint32_t i = 0; i < count; ++i) {
                const auto lo = static_cast<std::uint8_t>(start[2 * i]);
                const auto hi = static_cast<std::uint8_t>(start[2 * i + 1]);
                decoded[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
            }
            // An unpaired surrogate could not be saved back as it is: it is taken as the
            // replacement character the save would write.
            text = decoded.isValidUtf16() ? decoded : fromStoredUtf8(decoded.toUtf8());
        } else {
            text = fromStoredUtf8(QByteArrayView(start, byteCount));
        }
        m_pos += byteCount;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

QString &dataFolderOverride()
{
    static QString folder;
    return folder;
}

QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool saveBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

RecorderSettings::RecorderSettings() : m_saveDirectory(defaultSaveDirectory()) {}

RecorderSettings::RecorderSettings(const RecorderSettings &other)
{
    *this = other;
}

RecorderSettings &RecorderSettings::operator=(const RecorderSettings &other)
{
    m_recordFormat = other.m_recordFormat;
    m_saveDirectory = other.m_saveDirectory;
    m_fileList = other.m_fileList;
    m_bitRateIndex = other.m_bitRateIndex;
    m_silenceEnabled.store(other.m_silenceEnabled.load());
    m_sensitivity.store(other.m_sensitivity.load());
    m_skipSilence.store(other.m_skipSilence.load());
    m_silenceAction.store(other.m_silenceAction.load());
    m_stopAfterSeconds.store(other.m_stopAfterSeconds.load());
    m_newFileAfterSeconds.store(other.m_newFileAfterSeconds.load());
    m_playLoop = other.m_playLoop;
    m_timedRecordings = other.m_timedRecordings;
    return *this;
}

int RecorderSettings::sampleRateIndex() const
{
    const auto found = std::find(kSampleRates.begin(), kSampleRates.end(), sampleRate());
    return found == kSampleRates.end() ? 0 : static_cast<int>(found - kSampleRates.begin());
}

int RecorderSettings::bitRate() const
{
    const bool inTable = m_bitRateIndex >= 0 && m_bitRateIndex < static_cast<int>(kBitRates.size());
    return kBitRates[static_cast<std::size_t>(inTable ? m_bitRateIndex : kDefaultBitRateIndex)];
}

int RecorderSettings::silenceAction() const
{
    return std::max(0, m_silenceAction.load(std::memory_order_relaxed));
}

QByteArray RecorderSettings::toBytes() const
{
    ByteWriter out;
    out.u16(m_recordFormat.formatTag);
    out.u16(m_recordFormat.channels);
    out.u32(m_recordFormat.samplesPerSec);
    out.u32(m_recordFormat.avgBytesPerSec);
    out.u16(m_recordFormat.blockAlign);
    out.u16(m_recordFormat.bitsPerSample);
    out.u16(m_recordFormat.extraSize);
    out.countedText(m_saveDirectory);
    out.i32(m_sensitivity.load());
    out.i32(m_skipSilence.load());
    out.i32(m_silenceAction.load());
    out.i32(m_silenceEnabled.load());
    out.i32(m_bitRateIndex);
    out.u32(static_cast<std::uint32_t>(m_fileList.size()));
    for (const QString &file : m_fileList)
        out.countedText(file);
    out.i32(0); // two reserved values
    out.i32(0);
    out.u32(static_cast<std::uint32_t>(m_timedRecordings.size()));
    for (const TimedRecording &entry : m_timedRecordings) {
        out.i32(entry.start);
        out.i32(entry.end);
    }
    return out.bytes();
}

namespace {

// The value when it is one of the legal ones, else the default: a damaged or hand-edited
// file never hands a job a format or an index it cannot use.
template <typename T, typename Legal>
T legalOr(T value, T fallback, Legal legal)
{
    return legal(value) ? value : fallback;
}

bool isFlag(std::int32_t value)
{
    return value == 0 || value == 1;
}

// Only the time of day of each end is used, so a window longer than a day means nothing;
// times before 1970 are never written.
bool isTimedWindow(const TimedRecording &entry)
{
    return entry.start >= 0 && entry.end >= 0 && std::abs(std::int64_t(entry.end) - entry.start) < 86400;
}

} // namespace

bool RecorderSettings::isRecordFormat(const WaveFormat &format)
{
    return format.formatTag == 1 && (format.channels == 1 || format.channels == 2) && format.bitsPerSample == 16
           && std::find(kSampleRates.begin(), kSampleRates.end(), int(format.samplesPerSec)) != kSampleRates.end();
}

bool RecorderSettings::fromBytes(const QByteArray &bytes)
{
    // Everything is read into locals first and taken only when the whole file parsed.
    ByteReader in(bytes);
    WaveFormat format;
    if (!in.u16(format.formatTag) || !in.u16(format.channels) || !in.u32(format.samplesPerSec)
        || !in.u32(format.avgBytesPerSec) || !in.u16(format.blockAlign) || !in.u16(format.bitsPerSample)
        || !in.u16(format.extraSize))
        return false;

    QString directory;
    if (!in.countedText(directory))
        return false;

    std::int32_t sensitivity, skipSilence, silenceAction, silenceEnabled, bitRateIndex;
    if (!in.i32(sensitivity) || !in.i32(skipSilence) || !in.i32(silenceAction) || !in.i32(silenceEnabled)
        || !in.i32(bitRateIndex))
        return false;

    // Counts are checked against the bytes left (an entry takes at least one count byte) and a
    // sane maximum, so a damaged count never reserves memory it names.
    std::uint32_t fileCount;
    if (!in.u32(fileCount) || fileCount > static_cast<std::uint32_t>(in.remaining())
        || fileCount > kMaxFileListEntries)
        return false;
    QStringList files;
    files.reserve(static_cast<qsizetype>(fileCount));
    for (std::uint32_t i = 0; i < fileCount; ++i) {
        QString file;
        if (!in.countedText(file))
            return false;
        files.append(file);
    }

    std::int32_t reserved;
    if (!in.i32(reserved) || !in.i32(reserved))
        return false;

    std::uint32_t timedCount;
    if (!in.u32(timedCount) || timedCount > static_cast<std::uint32_t>(in.remaining() / 8)
        || timedCount > kMaxTimedRecordings)
        return false;
    QList<TimedRecording> entries;
    for (std::uint32_t i = 0; i < timedCount; ++i) {
        TimedRecording entry;
        in.i32(entry.start);
        in.i32(entry.end);
        if (isTimedWindow(entry))
            entries.append(entry);
    }

    const WaveFormat defaults;
    format.formatTag = legalOr(format.formatTag, defaults.formatTag, [](auto v) { return v == 1; });
    format.channels = legalOr(format.channels, defaults.channels, [](auto v) { return v == 1 || v == 2; });
    format.samplesPerSec = legalOr(format.samplesPerSec, defaults.samplesPerSec, [](auto v) {
        return std::find(kSampleRates.begin(), kSampleRates.end(), int(v)) != kSampleRates.end();
    });
    format.bitsPerSample = legalOr(format.bitsPerSample, defaults.bitsPerSample, [](auto v) { return v == 16; });
    format.extraSize = 0;
    // Byte rate and alignment keep their stored values, as the rate setter keeps them.
    m_recordFormat = format;
    m_saveDirectory = directory;
    m_sensitivity.store(legalOr(sensitivity, 500, [](auto v) { return v >= 1 && v <= 1000; }));
    m_skipSilence.store(legalOr(skipSilence, 1, isFlag));
    m_silenceAction.store(legalOr(silenceAction, 0, isFlag));
    m_silenceEnabled.store(legalOr(silenceEnabled, 1, isFlag));
    m_bitRateIndex = legalOr(bitRateIndex, kDefaultBitRateIndex,
                             [](auto v) { return v >= 0 && v < static_cast<int>(kBitRates.size()); });
    m_fileList = files;
    m_timedRecordings = entries;
    return true;
}

bool RecorderSettings::load(const QString &path)
{
    // No real settings file comes near this size (100,000 long paths); a larger one is damaged.
    constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    QFile file(path);
    if (!openRegularFile(file) || file.size() > kMaxFileBytes)
        return false;
    return fromBytes(file.readAll());
}

bool RecorderSettings::save(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return saveBytes(path, toBytes());
}

namespace {

std::atomic<bool> g_saveAtExit{true};

// Loads on first use and saves once, when the process exits.
struct SettingsHolder
{
    SettingsHolder() : path(dataFolder() + settingsFileName()) { settings.load(path); }
    ~SettingsHolder()
    {
        if (g_saveAtExit)
            settings.save(path);
    }

    const QString path;
    RecorderSettings settings;
};

} // namespace

RecorderSettings &settings()
{
    static SettingsHolder holder;
    return holder.settings;
}

void keepSettingsUnsaved()
{
    g_saveAtExit = false;
}

QString settingsFileName()
{
    return QStringLiteral("Record Setup.sys");
}

QString defaultSaveDirectory()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir())
        return withTrailingSlash(music);
    return withTrailingSlash(QDir::homePath());
}

QString dataFolder()
{
    if (!dataFolderOverride().isEmpty())
        return dataFolderOverride();
    if (QCoreApplication::instance()) {
        const QFileInfo portable(QCoreApplication::applicationDirPath() + QStringLiteral("/Data"));
        if (portable.isDir() && portable.isWritable())
            return withTrailingSlash(portable.absoluteFilePath());
    }
    return withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
           + QStringLiteral("Data/");
}

void overrideDataFolder(const QString &folder)
{
    dataFolderOverride() = folder.isEmpty() ? QString() : withTrailingSlash(folder);
}

std::optional<QByteArray> readValue(const QString &key)
{
    QFile file(dataFolder() + key + QStringLiteral(".dat"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(4);
    if (bytes.size() != 4)
        return std::nullopt;
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | static_cast<std::uint8_t>(bytes[i]);
    if (length > static_cast<std::uint64_t>(file.size() - 4))
        return std::nullopt;
    QByteArray value = file.read(static_cast<qint64>(length));
    if (value.size() != static_cast<qsizetype>(length))
        return std::nullopt;
    return value;
}

bool writeValue(const QString &key, const QByteArray &bytes)
{
    if (!QDir().mkpath(dataFolder()))
        return false;
    ByteWriter out;
    out.u32(static_cast<std::uint32_t>(bytes.size()));
    return saveBytes(dataFolder() + key + QStringLiteral(".dat"), out.bytes() + bytes);
}

bool writeFolderValue(const QString &key, const QString &folder)
{
    QByteArray bytes = folder.toUtf8();
    bytes.append('\0');
    return writeValue(key, bytes);
}

std::optional<QString> readFolderValue(const QString &key)
{
    const std::optional<QByteArray> bytes = readValue(key);
    if (!bytes)
        return std::nullopt;
    const qsizetype end = bytes->indexOf('\0');
    return QString::fromUtf8(end < 0 ? *bytes : bytes->left(end));
}

} // namespace sonavell
