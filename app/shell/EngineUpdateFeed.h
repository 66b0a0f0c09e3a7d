// The update feed backed by the engine's AppUpdate: fetchManifest(defaultFeedURL) and download.
#pragma once

#include "UpdateFeed.h"

class EngineUpdateFeed : public UpdateFeed {
public:
    // The vendor's feed.
    EngineUpdateFeed();
    // Another feed location (a local server in tests).
    explicit EngineUpdateFeed(std::string feedUrl);

    std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token stop) override;
    std::string download(const brisklet::UpdateManifest& manifest, const std::string& directory,
                         const std::function<void(double)>& progress, std::stop_token stop) override;
    QString hostName() const override;

private:
    std::string m_feedUrl;
};
