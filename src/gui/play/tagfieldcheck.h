#pragma once

#include <QString>

namespace sonavell {

// Title, artist and album each have 30 bytes in the ID3v1 tag.
constexpr int kTagTextBytes = 30;

// How a text typed into a tag field differs from what the tag will hold: the tag stores Latin-1,
// one byte a character, and cuts what does not fit its width.
struct TagFieldCheck
{
    bool cut = false;       // longer than the field: the end is lost
    bool notLatin1 = false; // characters the tag cannot hold: they are saved as '?'

    bool isClean() const { return !cut && !notLatin1; }
    // One line per problem, for the field's tool tip; empty when clean.
    QString description(int bytes) const;
};

TagFieldCheck checkTagField(const QString &text, int bytes = kTagTextBytes);

} // namespace sonavell
