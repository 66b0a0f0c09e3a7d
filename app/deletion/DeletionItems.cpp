#include "DeletionItems.h"

#include "scan/ScanRecords.h"

QString formatBytes(qint64 bytes)
{
    return utf8Text(brisklet::ByteFormat::humanReadable(bytes));
}

QString linkedSize(qint64 bytes)
{
    return formatBytes(bytes) + QStringLiteral(" \u21c4");
}
