#include "core/files/replacejob.h"

#include "core/files/filelist.h"
#include "core/io/filemove.h"

#include <QMetaObject>

namespace sonavell {

ReplaceJob::ReplaceJob(FileList &list, QStringList files) : BatchJob(std::move(files)), m_list(&list) {}

QString ReplaceJob::replacedName(const QString &name, const QString &source, const QString &target)
{
    if (source.isEmpty())
        return name;
    QString replaced = name;
    return replaced.replace(source, target, Qt::CaseSensitive);
}

void ReplaceJob::processFile(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const QString newName = replacedName(name, m_source, m_target);
    if (newName == name)
        return;
    const QString newPath = folder + newName;
    QString error = invalidFileNameReason(newName);
    if (error.isEmpty() && moveNoReplace(path, newPath, &error)) {
        // Queued when the list lives on another thread; the row is found by its path there,
        // since rows are the list thread's to number.
        QMetaObject::invokeMethod(m_list, [list = m_list, path, newName] {
            for (int row = 0; row < list->rowCount(); ++row) {
                if (list->pathOfRow(row) == path) {
                    list->setRowName(row, newName);
                    break;
                }
            }
        });
        return;
    }
    sink().showError(QStringLiteral("Cannot rename %1 to %2\n%3").arg(path, newName, error));
}

QString invalidFileNameReason(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("The new name is empty.");
    if (name == QStringLiteral(".") || name == QStringLiteral(".."))
        return QStringLiteral("\"%1\" cannot be a file name.").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QChar()))
        return QStringLiteral("A file name cannot hold '/'.");
    return {};
}

} // namespace sonavell
