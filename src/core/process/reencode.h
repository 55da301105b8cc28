#pragma once

#include <QString>

namespace sonavell {

class BatchJob;

// The standard per-file step: decodes path and encodes it again at bitrateKbps with every
// sample scaled by volumeScale, rewriting the file in place with its ID3v2 and ID3v1 tags.
// The file is replaced only when the run completes; a cancelled or failed run, or one that
// decodes no frame, leaves it as it was. Runs on the job's worker thread and reports to its
// sink. True when the file was rewritten.
bool reencodeFile(BatchJob &job, const QString &path, int bitrateKbps, float volumeScale);

} // namespace sonavell
