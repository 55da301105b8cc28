#include "core/process/reencodejob.h"

#include "core/process/reencode.h"

namespace sonavell {

void ReencodeJob::processFile(const QString &path)
{
    reencodeFile(*this, path, m_bitrateKbps, m_volumeScale);
}

} // namespace sonavell
