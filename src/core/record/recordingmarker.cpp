#include "core/record/recordingmarker.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <atomic>

#include <unistd.h>

namespace sonavell {

namespace {

const QString kPrefix = QStringLiteral("Recording-");
const QString kSuffix = QStringLiteral(".dat");

std::atomic<int> markerSequence{0};

// The value-file layout: a 32-bit little-endian length, then the bytes (UTF-8 lines: the record
// path, then the target).
QByteArray encode(const QString &recordPath, const QString &target)
{
    const QByteArray text = recordPath.toUtf8() + '\n' + target.toUtf8() + '\n';
    QByteArray bytes(4, '\0');
    const auto length = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes + text;
}

bool decode(const QByteArray &bytes, RecordingMarker::Entry &entry)
{
    if (bytes.size() < 4)
        return false;
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | static_cast<std::uint8_t>(bytes[i]);
    if (length != static_cast<std::uint64_t>(bytes.size() - 4))
        return false;
    const QList<QByteArray> lines = bytes.mid(4).split('\n');
    if (lines.size() < 2 || lines[0].isEmpty())
        return false;
    entry.recordPath = QString::fromUtf8(lines[0]);
    entry.target = QString::fromUtf8(lines[1]);
    return true;
}

} // namespace

bool RecordingMarker::write(const QString &folder, const QString &recordPath, const QString &target)
{
    remove();
    if (!QDir().mkpath(folder))
        return false;
    const QString path = QDir(folder).filePath(
        QStringLiteral("%1%2-%3%4").arg(kPrefix).arg(::getpid()).arg(markerSequence.fetch_add(1)).arg(kSuffix));
    // Written whole or not at all, so a crash while writing leaves no half marker.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encode(recordPath, target)) < 0 || !file.commit())
        return false;
    m_path = path;
    return true;
}

void RecordingMarker::remove()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
    m_path.clear();
}

QList<RecordingMarker::Entry> RecordingMarker::list(const QString &folder)
{
    QList<Entry> entries;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
            continue;
        Entry entry;
        entry.markerPath = file.fileName();
        if (decode(file.readAll(), entry))
            entries << entry;
    }
    return entries;
}

} // namespace sonavell
