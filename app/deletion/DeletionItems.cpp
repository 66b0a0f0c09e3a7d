#include "DeletionItems.h"

#include "scan/ScanRecords.h"

QString formatBytes(qint64 bytes)
{
    return QString::fromStdString(brisklet::ByteFormat::humanReadable(bytes));
}

QString linkedSize(qint64 bytes)
{
    return formatBytes(bytes) + QStringLiteral(" \u21c4");
}

QString visibleText(QString text)
{
    for (QChar& character : text)
        if (character.unicode() < 0x20 || character.unicode() == 0x7F)
            character = QChar(QChar::ReplacementCharacter);
    return text;
}

