#include "ApplicationLookup.h"

#include "shell/FileImage.h"
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
    const std::string file = brisklet::iconFile(name, m_themes, m_iconPixels, m_dataFolders);
    const QImage image = readImage(file, m_iconPixels); // by its bytes, exactly as the index found it
    return m_icons[name] = {image.isNull() ? QString() : pathFromBytes(file), image};
}
