#include <alsa/asoundlib.h>

namespace sonavell {

// The ALSA library version this program runs against, for the about box and bug reports.
const char *alsaLibraryVersion()
{
    return snd_asoundlib_version();
}

} // namespace sonavell
