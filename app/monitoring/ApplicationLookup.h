// Names and icons for the processes that run a desktop application, found off the GUI thread.
//
// identify() runs on a worker: it refreshes the desktop-entry index (read again only when an entry
// folder changed), looks each process's executable up in it and loads each named icon once, as an
// image scaled to iconPixels. Calls are serialised, so overlapping reads (a stale one still finishing)
// are safe. The GUI thread turns the images into pixmaps.
#pragma once

#include "apps/RunningApplications.h"
#include "system/ProcessLister.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

class ApplicationLookup {
public:
    struct Identity {
        QString name;
        QString iconKey; // the icon file; empty when the entry names none that exists
        QImage icon;
    };
    using Identities = std::unordered_map<std::int32_t, Identity>;

    // themes: the icon themes to search before hicolor (the desktop's, read on the GUI thread).
    explicit ApplicationLookup(QStringList themes, int iconPixels = 64,
                               std::vector<std::string> dataFolders = brisklet::DesktopEntryIndex::dataFolders());

    Identities identify(const std::vector<brisklet::ProcessEntry>& processes);

private:
    // The icon's file and image, loaded on first use.
    const std::pair<QString, QImage>& icon(const std::string& name);

    std::mutex m_mutex;
    std::vector<std::string> m_themes;
    int m_iconPixels;
    std::vector<std::string> m_dataFolders;
    brisklet::DesktopEntryIndex m_index;
    std::map<std::string, std::pair<QString, QImage>> m_icons; // icon name -> file and image
};
