#include "CountedLinks.h"

#include <algorithm>
#include <map>

#include <sys/stat.h>

std::vector<std::pair<std::size_t, std::size_t>> matchCountedLinks(const std::vector<LinkedFile>& files)
{
    if (std::none_of(files.begin(), files.end(), [](const LinkedFile& file) { return file.countedElsewhere; }))
        return {}; // nothing to match, so nothing to ask the file system
    using Key = std::pair<dev_t, ino_t>;
    std::map<Key, std::size_t> carriers;
    std::vector<std::pair<std::size_t, Key>> others;
    for (std::size_t index = 0; index < files.size(); ++index) {
        struct stat status {};
        if (::lstat(files[index].path.c_str(), &status) != 0)
            continue;
        const Key key{status.st_dev, status.st_ino};
        if (files[index].countedElsewhere)
            others.emplace_back(index, key);
        else
            carriers.emplace(key, index);
    }
    std::vector<std::pair<std::size_t, std::size_t>> matches;
    for (const auto& [index, key] : others)
        if (const auto found = carriers.find(key); found != carriers.end())
            matches.emplace_back(index, found->second);
    return matches;
}
