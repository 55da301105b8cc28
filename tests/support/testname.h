#pragma once

#include <string>
#include <string_view>

namespace sonavell::test {

// Names for the rows of parameterised tests, the same on every build (GoogleTest takes letters,
// digits and '_' only); every suite's name generator builds its names through these.

// The whole name from a row's text (join the parts with '_' first): accents are dropped ("Ä"
// reads "A"), any other character becomes '_' (runs collapse, none at either end). Nothing left
// reads "empty".
std::string testName(std::string_view text);

// The same for texts whose punctuation is the point of the row: "-.5" reads "minus_dot_5",
// "  7" "space_space_7".
std::string spelledName(std::string_view text);

// A number as part of a name: "-0.25" reads "minus0p25", so 5, 0.5 and -0.5 stay apart.
std::string numberName(double value);

// An audio format as "mono_22050", or "stereo_44100_128k" with a bit rate.
std::string formatName(int channels, int rate, int kbps = 0);

} // namespace sonavell::test
