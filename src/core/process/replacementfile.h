#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

namespace sonavell {

// A temporary file in the target's folder that takes the target's place only by commit(),
// so that a rewrite that is cancelled or fails leaves the target as it was. The temporary file
// is removed when the object goes away uncommitted. A target that does not exist yet is created
// by commit() with the mode any new file of the process gets.
//
// Everything after the construction goes through descriptors, never through names in the
// folder: the folder is opened once, the temporary file is created in it exclusively and every
// write, the mode, the owner and the sync go to that one open file. commit() renames within the
// folder descriptor, and only while the folder, the target and the temporary name are still
// what they were. So in a folder others may write to, swapping the temporary file or the folder
// for a symbolic link makes the rewrite fail instead of reaching a file outside it.
class ReplacementFile
{
public:
    explicit ReplacementFile(const QString &target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // False when the temporary file could not be created (a read-only folder, an empty target,
    // a folder that is a symbolic link).
    bool isValid() const { return m_fd >= 0; }
    // The temporary file, open for reading and writing; owned by this object. Writers that
    // take a descriptor (the encoder, the tag step) are handed this one.
    int descriptor() const { return m_fd; }
    // A name for writers that only take a name: it reaches the open temporary file itself (the
    // process's descriptor entry), whatever happens to the names in the folder.
    QString path() const;
    // The temporary file's name in the folder, for messages and tests.
    const QString &temporaryName() const { return m_temporaryName; }

    // Gives the temporary file the target's permissions and owner, syncs it to the disk and
    // renames it over the target, so that a crash leaves either the old file or the whole new
    // one. False, with the target untouched, when the folder, the target or the temporary name
    // changed since the construction.
    bool commit();

    // The steps at which a test may act, run on the thread that does the rewrite.
    enum class Step { Created, Committing, Renaming };
    static void setStepHookForTests(std::function<void(Step)> hook);

private:
    bool sameFolder() const;
    bool nameIsOurs(const QByteArray &name) const;
    void removeLeftovers();

    QString m_target;
    QByteArray m_folderPath; // as resolved at the construction
    QByteArray m_name;       // the target's name in the folder
    QByteArray m_tempName;
    QString m_temporaryName;
    int m_folderFd = -1;
    int m_fd = -1;
    bool m_targetExisted = false;
    dev_t m_folderDevice = 0;
    ino_t m_folderInode = 0;
    dev_t m_targetDevice = 0;
    ino_t m_targetInode = 0;
    bool m_committed = false;
};

} // namespace sonavell
