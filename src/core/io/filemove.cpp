#include "core/io/filemove.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavell {

namespace {

bool fail(QString *error, int code)
{
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return false;
}

// Closes a descriptor on every path out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool syncPath(const QByteArray &path, int flags, QString *error)
{
    const Descriptor fd(::open(path.constData(), flags | O_CLOEXEC));
    if (fd.get() < 0)
        return fail(error, errno);
    // Some file systems cannot flush a folder; their rename is as durable as it gets.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(error, errno);
    return true;
}

} // namespace

bool moveNoReplace(const QString &from, const QString &to, QString *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail(error, errno);
    // The file system cannot refuse to replace by itself: look first. The window between the
    // look and the rename is the best such a file system allows.
    struct stat existing
    {
    };
    if (::lstat(target.constData(), &existing) == 0)
        return fail(error, EEXIST);
    if (::rename(source.constData(), target.constData()) != 0)
        return fail(error, errno);
    return true;
}

bool syncToDevice(const QString &path, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(native.constData(), &info) != 0)
        return fail(error, errno);
    if (!syncPath(native, S_ISDIR(info.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY, error))
        return false;
    const QString folder = QFileInfo(path).absolutePath();
    return syncPath(QFile::encodeName(folder), O_RDONLY | O_DIRECTORY, error);
}

QStringList folderEntriesInStoredOrder(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QStringLiteral(".") && name != QStringLiteral(".."))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat first = {};
    struct stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0
           && ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

} // namespace sonavell
