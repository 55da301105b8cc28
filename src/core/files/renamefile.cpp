#include "core/files/renamefile.h"

#include "core/files/replacejob.h"

namespace sonavell {

FileList::FileResult renameSelectedFile(FileList &list, const QString &typedName)
{
    if (typedName.isEmpty() || list.firstSelectedName().isEmpty())
        return {};
    const QString name = forceMp3Extension(typedName);
    const QString reason = invalidFileNameReason(name);
    if (!reason.isEmpty()) {
        // Reported the way the list reports its own failures.
        Q_EMIT list.fileError(list.firstSelectedPath(), reason);
        return {false, list.firstSelectedPath(), reason};
    }
    return list.renameFirstSelected(name);
}

} // namespace sonavell
