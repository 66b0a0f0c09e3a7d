// The feed used when the engine is built without its self-update component: every check finds
// nothing, so the update button stays hidden and a user-initiated check reports the feed unreachable.
#include "UpdateFeed.h"

#include <stdexcept>

namespace {
class OfflineUpdateFeed : public UpdateFeed {
public:
    std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token) override { return std::nullopt; }
    std::string download(const brisklet::UpdateManifest&, const std::string&, const std::function<void(double)>&,
                         std::stop_token) override
    {
        throw std::runtime_error("This build of Brisklet cannot download updates.");
    }
    QString hostName() const override { return QStringLiteral("updates.brisklet.io"); }
};
} // namespace

std::shared_ptr<UpdateFeed> makeDefaultUpdateFeed()
{
    return std::make_shared<OfflineUpdateFeed>();
}
