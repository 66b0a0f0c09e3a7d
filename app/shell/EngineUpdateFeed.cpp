#include "EngineUpdateFeed.h"

#include "PathBytes.h"

#include <QUrl>

EngineUpdateFeed::EngineUpdateFeed() : m_feedUrl(brisklet::AppUpdate::defaultFeedURL()) {}

EngineUpdateFeed::EngineUpdateFeed(std::string feedUrl) : m_feedUrl(std::move(feedUrl)) {}

std::optional<brisklet::UpdateManifest> EngineUpdateFeed::fetchManifest(std::stop_token stop)
{
    return brisklet::AppUpdate::fetchManifest(m_feedUrl, stop);
}

std::string EngineUpdateFeed::download(const brisklet::UpdateManifest& manifest, const std::string& directory,
                                       const std::function<void(double)>& progress, std::stop_token stop)
{
    return brisklet::AppUpdate::download(manifest, directory, progress, stop);
}

QString EngineUpdateFeed::hostName() const
{
    return QUrl(utf8Text(m_feedUrl)).host();
}

std::shared_ptr<UpdateFeed> makeDefaultUpdateFeed()
{
    return std::make_shared<EngineUpdateFeed>();
}
