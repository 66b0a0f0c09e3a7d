// File-system paths held in a QString without loss, for the screens and the desktop helpers.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Paths are the file system's bytes, and a QString holds them without loss: valid UTF-8 decodes as
// usual, and each byte of an invalid sequence becomes the lone surrogate U+DC00 + byte (drawn as a
// replacement mark), which pathBytes() turns back into that very byte. A name that is not UTF-8 thus
// reaches the engine unchanged instead of turning into a different name made of U+FFFD marks.
QString pathFromBytes(std::string_view bytes);
std::string pathBytes(const QString& path);
