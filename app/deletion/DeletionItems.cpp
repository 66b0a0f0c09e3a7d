#include "DeletionItems.h"

#include "scan/ScanRecords.h"

QString formatBytes(qint64 bytes)
{
    return QString::fromStdString(brisklet::ByteFormat::humanReadable(bytes));
}
