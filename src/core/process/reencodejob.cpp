#include "process/reencodejob.h"

#include "process/reencode.h"

namespace sonavell {

void ReencodeJob::processFile(const QString &path)
{
    reencodeFile(*this, path, m_bitrateKbps, m_volumeScale);
}

} // namespace sonavell
