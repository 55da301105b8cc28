#include "core/process/reencode.h"

#include "core/mp3/medialength.h"
#include "core/process/batchjob.h"
#include "core/process/decodecontext.h"
#include "core/process/inplacerewrite.h"

#include <algorithm>

namespace sonavell {

bool reencodeFile(BatchJob &job, const QString &path, int bitrateKbps, float volumeScale)
{
    DecodeContext context(&job);
    context.setBitrateKbps(bitrateKbps);
    context.setVolumeScale(volumeScale);
    context.setInputPath(path);
    context.setTotalSeconds(std::max(0, queryMediaLength(path)) / 1000);
    job.sink().timeRange(context.totalSeconds());
    return decodeInPlace(job, path, context, context.encodingHandler());
}

} // namespace sonavell
