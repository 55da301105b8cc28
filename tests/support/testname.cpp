#include "testname.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

namespace sonavell::test {

std::string testName(std::string_view text)
{
    // Compatibility decomposition splits "Ä" into "A" and a combining mark, which is dropped.
    const QString decomposed =
        QString::fromUtf8(text.data(), qsizetype(text.size())).normalized(QString::NormalizationForm_KD);
    std::string name;
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
            name += char(u);
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    if (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? std::string("empty") : name;
}

std::string spelledName(std::string_view text)
{
    static constexpr std::pair<char, const char *> kWords[] = {{'-', "minus"}, {'+', "plus"},  {'.', "dot"},
                                                               {',', "comma"}, {':', "colon"}, {'/', "slash"},
                                                               {' ', "space"}};
    std::string words;
    for (const char c : text) {
        const auto *word =
            std::find_if(std::begin(kWords), std::end(kWords), [c](const auto &w) { return w.first == c; });
        if (word != std::end(kWords))
            words += std::string(" ") + word->second + ' ';
        else
            words += c;
    }
    return testName(words);
}

std::string numberName(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string name;
    for (const char *c = text; *c; ++c) {
        if (*c == '-')
            name += "minus";
        else if (*c == '.')
            name += 'p';
        else if (*c != '+')
            name += *c;
    }
    return name;
}

std::string formatName(int channels, int rate, int kbps)
{
    std::string name = channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + "ch";
    name += '_' + std::to_string(rate);
    if (kbps > 0)
        name += '_' + std::to_string(kbps) + 'k';
    return name;
}

} // namespace sonavell::test
