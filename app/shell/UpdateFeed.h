// What the update controller needs from the self-update engine: one manifest fetch from the vendor's
// feed and one verified download. Both block and run on a worker thread; the controller starts them
// through its BackgroundRunner, which owns the stop tokens. The real feed is EngineUpdateFeed; tests
// put fakes in its place.
#pragma once

#include "update/AppUpdate.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

class UpdateFeed {
public:
    virtual ~UpdateFeed() = default;

    // The published manifest, or nothing on any failure. Never throws.
    virtual std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token stop) = 0;

    // Downloads and verifies the manifest's image into directory and returns its path. progress may be
    // called from any thread. Throws on failure; brisklet::Error::description() (else what()) is the
    // text shown to the user.
    virtual std::string download(const brisklet::UpdateManifest& manifest, const std::string& directory,
                                 const std::function<void(double)>& progress, std::stop_token stop) = 0;

    // The update host's name as shown in "Brisklet couldn't reach HOST."
    virtual QString hostName() const = 0;
};

// The feed the application uses: the engine's self-update component on its default feed URL.
std::shared_ptr<UpdateFeed> makeDefaultUpdateFeed();
