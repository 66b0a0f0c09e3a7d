#include "ScanHistoryStore.h"

std::shared_ptr<brisklet::ScanHistory> ScanHistoryStore::shared()
{
    static const auto store = std::make_shared<brisklet::ScanHistory>();
    return store;
}
