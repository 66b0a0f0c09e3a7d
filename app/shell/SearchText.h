// Search fields compare what the user typed without the spaces and tabs around it.
#pragma once

#include <QString>

namespace SearchText {

// text without leading and trailing spaces and tabs (other whitespace is kept).
QString trimmed(const QString& text);

} // namespace SearchText
