#pragma once

#include <QString>

class QComboBox;

namespace sonavell {

// The Data Rate lists of the processing dialogs: one "%d kbps" entry per bit rate the settings
// offer, in their order.
void fillDataRateList(QComboBox *list);
// kbit/s of an entry; the default entry's for an index outside the list.
int dataRateAt(int index);
// The entry of the settings' current bit rate (the default entry when that is outside the list).
int currentDataRateIndex();
// The entry equal to the bit rate of the file's first frame; the settings' entry when none is.
int dataRateIndexOf(const QString &path);

} // namespace sonavell
