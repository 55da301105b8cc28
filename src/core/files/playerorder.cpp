#include "core/files/playerorder.h"

#include "core/io/filemove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace sonavell {

namespace {

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

void collectBelow(const QString &folder, QStringList &paths)
{
    for (const QString &name : folderEntriesInStoredOrder(folder)) {
        const QString path = withSlash(folder) + name;
        struct stat info
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (!name.startsWith(QLatin1Char('.')))
                collectBelow(path, paths);
        } else if (name.size() > 4 && name.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive)) {
            paths.append(path);
        }
    }
}

} // namespace

bool PlayerFileSystem::makeFolder(const QString &path, QString *error)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0 || QFileInfo(path).isDir())
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool PlayerFileSystem::move(const QString &from, const QString &to, QString *error)
{
    return moveNoReplace(from, to, error);
}

bool PlayerFileSystem::sync(const QString &path, QString *error)
{
    return syncToDevice(path, error);
}

bool PlayerFileSystem::removeFolder(const QString &path)
{
    return QDir().rmdir(path);
}

QStringList PlayerFileSystem::entries(const QString &folder)
{
    return folderEntriesInStoredOrder(folder);
}

QString PlayerOrderRewrite::workFolderFor(const QString &volumeRoot)
{
    return withSlash(QDir::cleanPath(volumeRoot)) + QStringLiteral("temp____0");
}

void PlayerOrderRewrite::step(int index) const
{
    if (m_step)
        m_step(index);
}

PlayerOrderResult PlayerOrderRewrite::run(const QStringList &paths, const QString &volumeRoot)
{
    PlayerOrderResult result;
    result.workFolder = workFolderFor(volumeRoot);
    if (paths.isEmpty())
        return result;

    // Files left in the work folder by a rewrite that could not finish would collide with the
    // new temporary names; they are the user's to put back first.
    if (!m_fs.entries(result.workFolder).isEmpty()) {
        result.startError =
            QStringLiteral("The folder %1 on the player already holds files, probably left by an "
                           "earlier update that could not finish. Move them back to their places "
                           "and remove the folder, then update the order again.")
                .arg(result.workFolder);
        return result;
    }
    QString error;
    if (!m_fs.makeFolder(result.workFolder, &error)) {
        result.startError =
            QStringLiteral("Cannot create the folder %1 on the player\n%2").arg(result.workFolder, error);
        return result;
    }

    const QString volumePrefix = withSlash(QDir::cleanPath(volumeRoot));
    const QString workPrefix = withSlash(result.workFolder);
    const int count = static_cast<int>(paths.size());
    std::vector<bool> moved(static_cast<std::size_t>(count), false);
    auto temporary = [&](int i) { return workPrefix + QString::number(i); };
    auto syncOrNote = [&](const QString &path, const QString &listed) {
        QString syncError;
        if (!m_fs.sync(path, &syncError) && !result.unsynced.contains(listed))
            result.unsynced.append(listed);
    };

    for (int i = 0; i < count; ++i) {
        const QString &path = paths.at(i);
        if (!path.startsWith(volumePrefix) || path.startsWith(workPrefix)) {
            result.otherVolume.append(path);
        } else if (m_fs.move(path, temporary(i), &error)) {
            moved[static_cast<std::size_t>(i)] = true;
            syncOrNote(temporary(i), path);
            syncOrNote(folderOf(path), path);
        } else {
            result.notMoved.append(path);
        }
        step(i);
    }

    std::vector<bool> restored(static_cast<std::size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        if (moved[static_cast<std::size_t>(i)]) {
            const std::size_t before = result.stranded.size();
            moveBack(temporary(i), paths.at(i), result);
            restored[static_cast<std::size_t>(i)] = result.stranded.size() == before;
        }
        step(i);
    }

    if (result.stranded.empty()) {
        result.workFolderRemoved = m_fs.removeFolder(result.workFolder);
        QString syncError;
        m_fs.sync(volumePrefix, &syncError);
    }
    checkOrder(paths, restored, result);
    return result;
}

void PlayerOrderRewrite::moveBack(const QString &temporary, const QString &path, PlayerOrderResult &result)
{
    QString error;
    for (int attempt = 0; attempt < kMoveBackAttempts; ++attempt) {
        if (m_fs.move(temporary, path, &error)) {
            QString syncError;
            if ((!m_fs.sync(path, &syncError) || !m_fs.sync(result.workFolder, &syncError)) &&
                !result.unsynced.contains(path))
                result.unsynced.append(path);
            return;
        }
    }
    result.stranded.push_back({temporary, path, error});
}

void PlayerOrderRewrite::checkOrder(const QStringList &paths, const std::vector<bool> &restored,
                                    PlayerOrderResult &result)
{
    // The listed names of each folder, in list order: the files now in their places, whether
    // they moved or kept their old place.
    QStringList folders;
    std::vector<QStringList> expected;
    for (int i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        const bool inPlace = restored[static_cast<std::size_t>(i)] || result.notMoved.contains(path);
        if (!inPlace)
            continue;
        const QString folder = folderOf(path);
        qsizetype at = folders.indexOf(folder);
        if (at < 0) {
            folders.append(folder);
            expected.emplace_back();
            at = folders.size() - 1;
        }
        QStringList &names = expected[static_cast<std::size_t>(at)];
        if (!names.contains(nameOf(path)))
            names.append(nameOf(path));
    }
    for (qsizetype f = 0; f < folders.size(); ++f) {
        const QStringList &want = expected[static_cast<std::size_t>(f)];
        const QSet<QString> listed(want.cbegin(), want.cend());
        QStringList found;
        for (const QString &name : m_fs.entries(folders.at(f)))
            if (listed.contains(name))
                found.append(name);
        if (found != want)
            result.foldersOutOfOrder.append(folders.at(f));
    }
}

QString describePlayerOrderResult(const PlayerOrderResult &result)
{
    if (!result.startError.isEmpty())
        return result.startError;
    QStringList parts;
    if (!result.stranded.empty()) {
        QString text = QStringLiteral("These files could not be moved back to their places:");
        for (const PlayerOrderResult::Stranded &file : result.stranded)
            text += QStringLiteral("\n%1 -> %2 (%3)").arg(file.temporaryPath, file.originalPath, file.error);
        text += QStringLiteral(
                    "\nThey are kept in the folder %1 on the player, which was left in place. Move them "
                    "back by hand before the next update.")
                    .arg(result.workFolder);
        parts.append(text);
    } else if (!result.workFolderRemoved) {
        parts.append(
            QStringLiteral("The folder %1 could not be removed from the player.").arg(result.workFolder));
    }
    if (!result.notMoved.isEmpty())
        parts.append(QStringLiteral("These files could not be moved and keep their earlier place:\n") +
                     result.notMoved.join(QLatin1Char('\n')));
    if (!result.unsynced.isEmpty())
        parts.append(
            QStringLiteral("Writing these changes through to the player failed; remove the player safely "
                           "before unplugging it:\n") +
            result.unsynced.join(QLatin1Char('\n')));
    if (!result.foldersOutOfOrder.isEmpty())
        parts.append(
            QStringLiteral("The player keeps the files of these folders in another order than the list:\n") +
            result.foldersOutOfOrder.join(QLatin1Char('\n')));
    return parts.join(QStringLiteral("\n\n"));
}

QStringList collectPlayerMp3Files(const QString &folder)
{
    QStringList paths;
    collectBelow(QDir::cleanPath(folder), paths);
    return paths;
}

} // namespace sonavell
