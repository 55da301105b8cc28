#pragma once

#include <QString>

namespace sonavell {

// A temporary file in the target's folder that takes the target's place only by commit(),
// so that a rewrite that is cancelled or fails leaves the target as it was. The temporary file
// is removed when the object goes away uncommitted. A target that does not exist yet is created
// by commit() with the mode any new file of the process gets.
class ReplacementFile
{
public:
    explicit ReplacementFile(const QString &target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // False when the temporary file could not be created (a read-only folder, an empty target).
    bool isValid() const { return !m_path.isEmpty(); }
    const QString &path() const { return m_path; }

    // Gives the temporary file the target's permissions, syncs it to the disk and renames it
    // over the target, so that a crash leaves either the old file or the whole new one.
    bool commit();

private:
    QString m_target;
    QString m_path;
    bool m_committed = false;
};

} // namespace sonavell
