#include "UpdateFeed.h"

#include "Error.h"

QString describeFailure(const std::exception& error)
{
    if (const auto* engineError = dynamic_cast<const brisklet::Error*>(&error))
        return QString::fromStdString(engineError->description());
    return QString::fromUtf8(error.what());
}
