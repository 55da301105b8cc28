#pragma once

#include <QString>
#include <QStringList>

namespace sonavell {

// Renames a file or folder within its file system. Never replaces an existing target and never
// falls back to copying, so a move across volumes fails instead of duplicating the file.
// On failure, error (when given) receives the system's description.
bool moveNoReplace(const QString &from, const QString &to, QString *error = nullptr);

// Flushes a file and the folder that holds its name to the device, so that a rename survives
// the drive being pulled right after. Folders are flushed the same way.
bool syncToDevice(const QString &path, QString *error = nullptr);

// The names in a folder in the order the file system hands them out (readdir order, unsorted;
// on FAT that is the order of the directory slots). "." and ".." are left out.
QStringList folderEntriesInStoredOrder(const QString &folder);

// True when both paths name one existing file (the same inode, through links or not).
bool isSameFile(const QString &a, const QString &b);

} // namespace sonavell
