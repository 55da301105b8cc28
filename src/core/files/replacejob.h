#pragma once

#include "core/process/batchjob.h"

#include <QString>

namespace sonavell {

class FileList;

// Replaces one text by another in the names of the selected files ("Replace File Name String").
// The renames run on the job's worker thread; each renamed row is updated on the list's own
// thread through a queued call, so the worker never waits for the window. A rename that fails
// is reported through the sink and the job goes on with the next file.
class ReplaceJob : public BatchJob
{
public:
    // The list is not owned and must outlive the job's run; row updates still queued when the
    // list goes are dropped with it.
    ReplaceJob(FileList &list, QStringList files);

    void setSource(const QString &source) { m_source = source; }
    void setTarget(const QString &target) { m_target = target; }
    const QString &source() const { return m_source; }
    const QString &target() const { return m_target; }

    // Every occurrence of source, left to right without overlaps, becomes target. The extension
    // is part of the name. An empty source changes nothing.
    static QString replacedName(const QString &name, const QString &source, const QString &target);

    // Runs on the worker thread.
    void processFile(const QString &path) override;

private:
    FileList *m_list;
    QString m_source;
    QString m_target;
};

// Why a name cannot be given to a file in its folder, or empty when it can: empty names, "." and
// "..", and names holding '/' (which would move the file elsewhere) are refused.
QString invalidFileNameReason(const QString &name);

} // namespace sonavell
