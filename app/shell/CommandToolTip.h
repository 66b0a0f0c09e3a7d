// The tooltip of a command line: rich text (so a long line wraps instead of running off the screen)
// that breaks only between words, never at the hyphens inside "--option-name" or "x86_64-linux-gnu".
#pragma once

#include <QString>
#include <QTextDocument>

inline QString commandToolTip(QString commandLine)
{
    commandLine.replace(QLatin1Char('-'), QChar(0x2011)); // the non-breaking hyphen looks the same
    return Qt::convertFromPlainText(commandLine);
}
