#include "ApplicationLookup.h"

#include "shell/PathBytes.h"

#include <QBuffer>
#include <QImageReader>

#include <fstream>
#include <iterator>

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
    QImage image;
    // Read as bytes, so the path reaches the file system exactly as the index found it.
    std::ifstream stream(file, std::ios::binary);
    QByteArray bytes;
    if (!file.empty() && stream) {
        bytes = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(stream), {}));
        QBuffer buffer(&bytes);
        const std::string extension = file.substr(file.rfind('.') + 1);
        QImageReader reader(&buffer, QByteArray::fromStdString(extension));
        const QSize size = reader.size();
        // A vector icon is drawn at the wanted size; a larger bitmap is scaled down smoothly.
        if (!size.isValid() || size.width() > m_iconPixels || size.height() > m_iconPixels)
            reader.setScaledSize(QSize(m_iconPixels, m_iconPixels));
        image = reader.read();
    }
    return m_icons[name] = {image.isNull() ? QString() : pathFromBytes(file), image};
}
