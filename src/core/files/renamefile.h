#pragma once

#include "core/files/filelist.h"

namespace sonavell {

// The Rename command's work: the typed name gets ".mp3" by forceMp3Extension and becomes the
// name of the first selected file, in its own folder. Nothing happens without a selection or
// with an empty name; a name that would leave the folder is refused like a failed rename, and
// every failure is also sent through the list's fileError signal.
FileList::FileResult renameSelectedFile(FileList &list, const QString &typedName);

} // namespace sonavell
