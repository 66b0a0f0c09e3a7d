#include "IconImages.h"

#include "PathBytes.h"
#include "apps/RunningApplications.h"
#include "platform/FileServices.h"

#include <QBuffer>
#include <QIcon>
#include <QImageReader>

namespace IconImages {

namespace {
constexpr std::uint64_t largestIcon = 8 * 1024 * 1024; // a bigger "icon" is not one to draw in a row
} // namespace

Found load(const std::string& icon, const std::vector<std::string>& themes, int pixels,
           const std::vector<std::string>& dataFolders)
{
    const std::string file = icon.empty() ? std::string() : brisklet::iconFile(icon, themes, pixels, dataFolders);
    if (file.empty())
        return {};
    // Read as bytes, so the path reaches the file system exactly as it was found.
    std::optional<std::string> contents = brisklet::platform::readRegularFile(file, largestIcon);
    if (!contents)
        return {};
    QByteArray bytes = QByteArray::fromStdString(*contents);
    QBuffer buffer(&bytes);
    const std::size_t dot = file.rfind('.');
    QImageReader reader(&buffer, dot == std::string::npos ? QByteArray() : QByteArray::fromStdString(file.substr(dot + 1)));
    reader.setAutoDetectImageFormat(true);
    const QSize size = reader.size();
    // A vector icon is drawn at the wanted size; a larger bitmap is scaled down smoothly.
    if (!size.isValid() || size.width() > pixels || size.height() > pixels)
        reader.setScaledSize(size.isValid() ? size.scaled(pixels, pixels, Qt::KeepAspectRatio) : QSize(pixels, pixels));
    const QImage image = reader.read();
    return image.isNull() ? Found{} : Found{pathFromBytes(file), image};
}

Found load(const std::string& icon, const std::vector<std::string>& themes, int pixels)
{
    return load(icon, themes, pixels, brisklet::DesktopEntryIndex::dataFolders());
}

std::vector<std::string> desktopThemes()
{
    std::vector<std::string> themes;
    for (const QString& theme : {QIcon::themeName(), QIcon::fallbackThemeName()})
        if (!theme.isEmpty())
            themes.push_back(utf8String(theme));
    return themes;
}

} // namespace IconImages
