#include "core/process/replacementfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace sonavell {

namespace {

constexpr int kNameAttempts = 100;
constexpr int kRandomLetters = 6;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// Temporary names are the target's name, this mark and six random letters: distinct enough
// that a leftover can be told from a user's file and removed.
constexpr char kMark[] = ".sonavell-";
constexpr int kSuffixBytes = int(sizeof kMark) - 1 + kRandomLetters;

std::mutex hookMutex;

std::function<void(ReplacementFile::Step)> &stepHook()
{
    static std::function<void(ReplacementFile::Step)> hook;
    return hook;
}

void runHook(ReplacementFile::Step step)
{
    std::function<void(ReplacementFile::Step)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = stepHook();
    }
    if (hook)
        hook(step);
}

// The target's name cut so that the temporary name stays within the file system's name limit
// (NAME_MAX bytes), at a character boundary of UTF-8 names.
QByteArray temporaryPrefix(const QByteArray &name)
{
    qsizetype length = std::min<qsizetype>(name.size(), NAME_MAX - kSuffixBytes);
    while (length > 0 && length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    return name.left(length) + kMark;
}

bool isLeftoverName(const char *entry, const QByteArray &prefix)
{
    const std::size_t size = std::strlen(entry);
    if (size != std::size_t(prefix.size()) + kRandomLetters || std::strncmp(entry, prefix.constData(), prefix.size()) != 0)
        return false;
    for (std::size_t i = std::size_t(prefix.size()); i < size; ++i) {
        if (std::strchr(kLetters, entry[i]) == nullptr)
            return false;
    }
    return true;
}

bool sameInode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

void ReplacementFile::setStepHookForTests(std::function<void(Step)> hook)
{
    std::lock_guard lock(hookMutex);
    stepHook() = std::move(hook);
}

ReplacementFile::ReplacementFile(const QString &target) : m_target(target)
{
    if (target.isEmpty())
        return;
    // Through a symbolic link the file it points to is replaced, not the link.
    const QString resolved = QFileInfo(target).canonicalFilePath();
    if (!resolved.isEmpty())
        m_target = resolved;
    const QFileInfo info(m_target);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    m_name = QFile::encodeName(info.fileName());
    if (folder.isEmpty() || m_name.isEmpty())
        return;
    m_folderPath = QFile::encodeName(folder);
    m_folderFd = ::open(m_folderPath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat folderInfo = {};
    if (m_folderFd < 0 || ::fstat(m_folderFd, &folderInfo) != 0)
        return;
    m_folderDevice = folderInfo.st_dev;
    m_folderInode = folderInfo.st_ino;
    struct stat targetInfo = {};
    if (::fstatat(m_folderFd, m_name.constData(), &targetInfo, AT_SYMLINK_NOFOLLOW) == 0) {
        m_targetExisted = true;
        m_targetDevice = targetInfo.st_dev;
        m_targetInode = targetInfo.st_ino;
    }
    removeLeftovers();

    // A rewrite of an existing file starts owner-only (it gets the original's mode at commit); a
    // new file gets the usual mode that the process's umask leaves, as any file it creates would.
    const mode_t mode = m_targetExisted ? 0600 : 0666;
    const QByteArray prefix = temporaryPrefix(m_name);
    for (int attempt = 0; attempt < kNameAttempts && m_fd < 0; ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < kRandomLetters; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        const int fd = ::openat(m_folderFd, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
        if (fd >= 0) {
            // Held while the file lives, so that another rewrite's leftover cleanup skips it.
            ::flock(fd, LOCK_EX | LOCK_NB);
            m_fd = fd;
            m_tempName = name;
            m_temporaryName = folder + QLatin1Char('/') + QFile::decodeName(name);
        }
    }
    if (m_fd >= 0)
        runHook(Step::Created);
}

ReplacementFile::~ReplacementFile()
{
    // Only a name that is still our file is removed; one swapped for something else is left.
    if (!m_committed && m_fd >= 0 && nameIsOurs(m_tempName))
        ::unlinkat(m_folderFd, m_tempName.constData(), 0);
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

QString ReplacementFile::path() const
{
    return isValid() ? QStringLiteral("/proc/self/fd/%1").arg(m_fd) : QString();
}

// Temporary files of earlier rewrites of this target that a crash or a kill left behind: ours
// by name, a regular file of this user, and not held by a rewrite still running.
void ReplacementFile::removeLeftovers()
{
    const int listFd = ::dup(m_folderFd);
    DIR *folder = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!folder) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    const QByteArray prefix = temporaryPrefix(m_name);
    while (const dirent *entry = ::readdir(folder)) {
        if (!isLeftoverName(entry->d_name, prefix))
            continue;
        const int fd = ::openat(m_folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened = {};
        struct stat named = {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(m_folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameInode(opened, named))
            ::unlinkat(m_folderFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(folder);
}

bool ReplacementFile::sameFolder() const
{
    struct stat now = {};
    return ::lstat(m_folderPath.constData(), &now) == 0 && S_ISDIR(now.st_mode) && now.st_dev == m_folderDevice
           && now.st_ino == m_folderInode;
}

bool ReplacementFile::nameIsOurs(const QByteArray &name) const
{
    struct stat own = {};
    struct stat named = {};
    return ::fstat(m_fd, &own) == 0 && ::fstatat(m_folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
           && sameInode(own, named);
}

bool ReplacementFile::commit()
{
    if (!isValid() || m_committed)
        return false;
    runHook(Step::Committing);
    // The target must still be the file the rewrite started from (or still be absent).
    auto targetUnchanged = [this](struct stat *now) {
        const bool exists = ::fstatat(m_folderFd, m_name.constData(), now, AT_SYMLINK_NOFOLLOW) == 0;
        return exists == m_targetExisted
               && (!exists || (now->st_dev == m_targetDevice && now->st_ino == m_targetInode));
    };
    struct stat original = {};
    if (!sameFolder() || !targetUnchanged(&original) || !nameIsOurs(m_tempName))
        return false;
    if (m_targetExisted) {
        // Keeps the owner and group where the process may (root, or a group of its own); else the
        // rewritten file belongs to whoever rewrote it, as any new file would. The mode comes
        // after, since a change of owner clears the set-id bits.
        [[maybe_unused]] const int owned = ::fchown(m_fd, original.st_uid, original.st_gid);
        if (::fchmod(m_fd, original.st_mode & 07777) != 0)
            return false;
    }
    // The data must be on the disk before the rename makes it the file's only copy.
    if (::fsync(m_fd) != 0)
        return false;
    runHook(Step::Renaming);
    struct stat again = {};
    if (!sameFolder() || !targetUnchanged(&again) || !nameIsOurs(m_tempName))
        return false;
    // renameat(2) replaces the target in one step, within the folder first opened.
    if (::renameat(m_folderFd, m_tempName.constData(), m_folderFd, m_name.constData()) != 0)
        return false;
    m_committed = true;
    // And the rename itself, so a power cut right after leaves the new file, not the old name.
    ::fsync(m_folderFd);
    return true;
}

} // namespace sonavell
