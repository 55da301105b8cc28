#pragma once

namespace sonavell {

class EditCtrl;

// The "Volume Scale " field of the processing dialogs: 0.1 to 10.0 in steps of 0.01, two
// decimals, 1.0 to start with (samples unchanged).
void setupVolumeField(EditCtrl *edit);

} // namespace sonavell
