#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace sonavell {

// The file-system calls of the player order rewrite. Tests replace single calls to make them
// fail; the defaults work on the local file system.
class PlayerFileSystem
{
public:
    virtual ~PlayerFileSystem() = default;

    // Creates the folder; an existing folder is used as it is.
    virtual bool makeFolder(const QString &path, QString *error);
    // Never replaces an existing target.
    virtual bool move(const QString &from, const QString &to, QString *error);
    // Flushes the file and its folder to the device.
    virtual bool sync(const QString &path, QString *error);
    // Removes an empty folder only.
    virtual bool removeFolder(const QString &path);
    // Names in the order the file system keeps them, unsorted.
    virtual QStringList entries(const QString &folder);
};

// What an order rewrite did beside the moves that went as planned.
struct PlayerOrderResult
{
    struct Stranded
    {
        QString temporaryPath; // where the file is now
        QString originalPath;  // where it belongs
        QString error;
    };

    QString workFolder;
    // Set when the rewrite did not start: the work folder could not be made, or it already
    // held files (left by an earlier rewrite that could not finish).
    QString startError;
    // Listed files not on the volume, or inside the work folder: left alone.
    QStringList otherVolume;
    // Files that could not be moved out: they keep their place and name.
    QStringList notMoved;
    // Files that could not be moved back; the work folder stays for them.
    std::vector<Stranded> stranded;
    // Moves done whose flush to the device failed.
    QStringList unsynced;
    // Folders whose files the device keeps in another order than the list's.
    QStringList foldersOutOfOrder;
    bool workFolderRemoved = false;
};

// Recreates the listed files on a player volume in list order: every file is moved into the
// work folder "temp____0" at the volume root under its list index, then moved back under its
// own name, one by one. Players that play in the order of the folder's entries then play the
// files in list order. Runs on the calling thread.
class PlayerOrderRewrite
{
public:
    static constexpr int kMoveBackAttempts = 3;

    // The file system is not owned and must outlive the object.
    explicit PlayerOrderRewrite(PlayerFileSystem &fileSystem) : m_fs(fileSystem) {}

    // Called after each move of each pass with the file's list index.
    void setStep(std::function<void(int)> step) { m_step = std::move(step); }

    PlayerOrderResult run(const QStringList &paths, const QString &volumeRoot);

    static QString workFolderFor(const QString &volumeRoot);

private:
    void moveBack(const QString &temporary, const QString &path, PlayerOrderResult &result);
    void checkOrder(const QStringList &paths, const std::vector<bool> &restored, PlayerOrderResult &result);
    void step(int index) const;

    PlayerFileSystem &m_fs;
    std::function<void(int)> m_step;
};

// A text for the user about what went wrong, or an empty text when all went as planned.
QString describePlayerOrderResult(const PlayerOrderResult &result);

// Every file below folder whose name ends in ".mp3" in any case, depth first in the order the
// file system returns the entries; paths keep their real case. Hidden (dot) folders and links to
// folders are not searched.
QStringList collectPlayerMp3Files(const QString &folder);

} // namespace sonavell
