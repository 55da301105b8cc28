#include "gui/play/tagfieldcheck.h"

#include <QStringList>

#include <algorithm>

namespace sonavell {

TagFieldCheck checkTagField(const QString &text, int bytes)
{
    TagFieldCheck check;
    check.cut = text.size() > bytes;
    check.notLatin1 = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    return check;
}

QString TagFieldCheck::description(int bytes) const
{
    QStringList lines;
    if (cut)
        lines << QStringLiteral("Only the first %1 characters are saved.").arg(bytes);
    if (notLatin1)
        lines << QStringLiteral("Characters outside Latin-1 are saved as '?'.");
    return lines.join(QLatin1Char('\n'));
}

} // namespace sonavell
