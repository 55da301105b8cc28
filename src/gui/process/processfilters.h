#pragma once

#include <QString>

namespace sonavell {

// File names are case-sensitive here: the patterns take the extensions in any case.
inline QString mp3SaveFilter()
{
    return QStringLiteral("Files(*.mp3 *.MP3 *.Mp3 *.mP3)");
}

inline QString wavOpenFilter()
{
    return QStringLiteral("wav File (*.wav *.WAV *.Wav)");
}

// The value files the chosen folders are kept in.
inline QString openDirKey()
{
    return QStringLiteral("OpenDir");
}

inline QString wavOpenDirKey()
{
    return QStringLiteral("OpenDir_Wav");
}

} // namespace sonavell
