#include "gui/process/volumefield.h"

#include "gui/ui/editctrl.h"

namespace sonavell {

void setupVolumeField(EditCtrl *edit)
{
    edit->setRange(0.1, 10.0);
    edit->setFormat(4, 2);
    edit->setStep(0.01);
    edit->setValue(1.0);
}

} // namespace sonavell
