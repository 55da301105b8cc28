#pragma once

#include <QString>

namespace sonavell {

// "<output>: could not be written (<cause>)" for an output file that could not be created or
// written, with the likely cause: a missing or write-protected folder, a write-protected file,
// a full disk. Writers go through a ReplacementFile, so an existing file of that name is still
// there; the text says so when there is one.
QString outputFailureText(const QString &output);

} // namespace sonavell
