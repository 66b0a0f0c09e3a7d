#include "IconImages.h"

#include "FileImage.h"
#include "PathBytes.h"
#include "apps/RunningApplications.h"
#include "platform/FileServices.h"

#include <QIcon>

namespace IconImages {

Found load(const std::string& icon, const std::vector<std::string>& themes, int pixels,
           const std::vector<std::string>& dataFolders)
{
    const std::string file = icon.empty() ? std::string() : brisklet::iconFile(icon, themes, pixels, dataFolders);
    if (file.empty())
        return {};
    const QImage image = readImage(file, pixels); // by its bytes, exactly as the index found it
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
