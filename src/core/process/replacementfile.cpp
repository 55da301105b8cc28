#include "core/process/replacementfile.h"

#include "core/files/filemove.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace sonavell {

namespace {

constexpr int kNameAttempts = 100;

// Creates a new empty file named target + '.' + six random letters and returns its name, empty
// on failure.
// A rewrite of an existing file starts owner-only (it gets the original's mode at commit); a new
// file gets the usual mode that the process's umask leaves, as any file it creates would.
QString createUnique(const QString &target, mode_t mode)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        QString name = target + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

} // namespace

ReplacementFile::ReplacementFile(const QString &target) : m_target(target)
{
    if (target.isEmpty())
        return;
    // Through a symbolic link the file it points to is replaced, not the link.
    const QString resolved = QFileInfo(target).canonicalFilePath();
    if (!resolved.isEmpty())
        m_target = resolved;
    m_path = createUnique(m_target, QFile::exists(m_target) ? 0600 : 0666);
}

ReplacementFile::~ReplacementFile()
{
    if (!m_committed && isValid())
        QFile::remove(m_path);
}

bool ReplacementFile::commit()
{
    if (!isValid() || m_committed)
        return false;
    struct stat original = {};
    if (::stat(QFile::encodeName(m_target).constData(), &original) == 0) {
        QFile::setPermissions(m_path, QFile::permissions(m_target));
        // Keeps the owner and group where the process may (root, or a group of its own); else the
        // rewritten file belongs to whoever rewrote it, as any new file would.
        [[maybe_unused]] const int owned = ::chown(QFile::encodeName(m_path).constData(), original.st_uid, original.st_gid);
    }
    // The data must be on the disk before the rename makes it the file's only copy.
    if (!syncToDevice(m_path))
        return false;
    // rename(2) replaces the target in one step; QFile::rename refuses an existing target.
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_committed = true;
    // And the rename itself, so a power cut right after leaves the new file, not the old name.
    syncToDevice(m_target);
    return true;
}

} // namespace sonavell
