#pragma once

#include <QIODevice>
#include <QString>

class QFile;

namespace sonavell {

// Opens path read-only when it names a regular file, symbolic links followed. A named pipe, a
// device or a folder is refused without blocking: a pipe opened the usual way would wait for a
// writer, and a device could hand out endless bytes. extraMode is added to ReadOnly
// (Unbuffered, for instance). On failure file stays closed and error (when given) says why.
bool openRegularFile(QFile &file, QIODevice::OpenMode extraMode = {}, QString *error = nullptr);

// Why path cannot be read as an input file, in the user's words; empty for a regular file
// (and for a name that does not exist, which callers report in their own words).
QString notRegularFileText(const QString &path);

} // namespace sonavell
