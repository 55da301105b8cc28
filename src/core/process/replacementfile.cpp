#include "process/replacementfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

namespace sonavell {

ReplacementFile::ReplacementFile(const QString &target) : m_target(target)
{
    // Through a symbolic link the file it points to is replaced, not the link.
    const QString resolved = QFileInfo(target).canonicalFilePath();
    if (!resolved.isEmpty())
        m_target = resolved;
    QTemporaryFile file(m_target + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    if (file.open())
        m_path = file.fileName();
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
    // QTemporaryFile creates owner-only files; the rewritten file keeps the original's mode.
    if (QFile::exists(m_target))
        QFile::setPermissions(m_path, QFile::permissions(m_target));
    // rename(2) replaces the target in one step; QFile::rename refuses an existing target.
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_committed = true;
    return true;
}

} // namespace sonavell
