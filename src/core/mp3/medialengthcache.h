#pragma once

#include <QString>

#include <optional>

namespace sonavell {

// Playing lengths measured before, kept while the process runs and keyed by path, size and
// modification time, so that a file is measured again only when it has changed. Any thread.
class MediaLengthCache
{
public:
    // Milliseconds stored for the file as it is now on disk.
    static std::optional<int> find(const QString &path);
    // Stores the length of the file as it is now on disk.
    static void store(const QString &path, int milliseconds);
};

} // namespace sonavell
