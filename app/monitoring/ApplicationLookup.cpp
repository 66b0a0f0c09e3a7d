#include "ApplicationLookup.h"

#include "shell/IconImages.h"
#include "shell/PathBytes.h"

ApplicationLookup::ApplicationLookup(QStringList themes, int iconPixels, std::vector<std::string> dataFolders)
    : m_iconPixels(iconPixels), m_dataFolders(dataFolders), m_index(std::move(dataFolders))
{
    for (const QString& theme : themes)
        m_themes.push_back(utf8String(theme));
}

ApplicationLookup::Identities ApplicationLookup::identify(const std::vector<brisklet::ProcessEntry>& processes)
{
    const std::lock_guard lock(m_mutex);
    m_index.refresh();
    Identities identities;
    for (const brisklet::ProcessEntry& process : processes) {
        if (process.executable.empty())
            continue;
        const brisklet::RunningApplication* application = m_index.find(process.executable);
        if (!application)
            continue;
        const auto& [file, image] = icon(application->icon);
        identities.emplace(process.pid, Identity{utf8Text(application->name), file, image});
    }
    return identities;
}

const std::pair<QString, QImage>& ApplicationLookup::icon(const std::string& name)
{
    if (const auto found = m_icons.find(name); found != m_icons.end())
        return found->second;
    IconImages::Found found = IconImages::load(name, m_themes, m_iconPixels, m_dataFolders);
    return m_icons[name] = {std::move(found.file), std::move(found.image)};
}
