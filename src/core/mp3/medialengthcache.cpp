#include "core/mp3/medialengthcache.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

#include <mutex>

namespace sonavell {

namespace {

struct Entry
{
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    int milliseconds = 0;
};

std::mutex &lock()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, Entry> &entries()
{
    static QHash<QString, Entry> all;
    return all;
}

bool stamp(const QString &path, Entry *entry)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    entry->size = info.st_size;
    entry->modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

} // namespace

std::optional<int> MediaLengthCache::find(const QString &path)
{
    Entry now;
    if (!stamp(path, &now))
        return std::nullopt;
    const std::lock_guard guard(lock());
    const auto found = entries().constFind(path);
    if (found == entries().constEnd() || found->size != now.size || found->modified != now.modified)
        return std::nullopt;
    return found->milliseconds;
}

void MediaLengthCache::store(const QString &path, int milliseconds)
{
    Entry entry;
    if (!stamp(path, &entry))
        return;
    entry.milliseconds = milliseconds;
    const std::lock_guard guard(lock());
    entries().insert(path, entry);
}

} // namespace sonavell
