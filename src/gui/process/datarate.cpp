#include "gui/process/datarate.h"

#include "core/mp3/mp3layout.h"
#include "core/settings/recordersettings.h"

#include <QComboBox>

namespace sonavell {

namespace {

constexpr int kRateCount = static_cast<int>(RecorderSettings::kBitRates.size());

bool isEntry(int index)
{
    return index >= 0 && index < kRateCount;
}

} // namespace

void fillDataRateList(QComboBox *list)
{
    list->clear();
    for (int kbps : RecorderSettings::kBitRates)
        list->addItem(QStringLiteral("%1 kbps").arg(kbps));
}

int dataRateAt(int index)
{
    return RecorderSettings::kBitRates[static_cast<std::size_t>(
        isEntry(index) ? index : RecorderSettings::kDefaultBitRateIndex)];
}

int currentDataRateIndex()
{
    const int index = settings().bitRateIndex();
    return isEntry(index) ? index : RecorderSettings::kDefaultBitRateIndex;
}

int dataRateIndexOf(const QString &path)
{
    const int bitRate = firstFrameBitrate(path);
    for (int i = 0; i < kRateCount; ++i) {
        if (RecorderSettings::kBitRates[static_cast<std::size_t>(i)] * 1000 == bitRate)
            return i;
    }
    return currentDataRateIndex();
}

} // namespace sonavell
