// DirectoryStream: reads the entry names of one folder and closes it when it goes out of scope.
//
// Opened by path or from a descriptor it then owns (also when opening fails). Test the stream before
// reading; next() skips "." and "..", and returns nullptr at the end of the folder or on a read error.
#pragma once

#include "UniqueFd.h"

#include <dirent.h>
#include <string>

namespace brisklet::platform {

class DirectoryStream {
public:
    explicit DirectoryStream(const std::string& path) : m_dir(::opendir(path.c_str())) {}
    explicit DirectoryStream(UniqueFd folder) : m_dir(folder ? ::fdopendir(folder.get()) : nullptr) {
        if (m_dir)
            folder.release();
    }
    ~DirectoryStream() {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    explicit operator bool() const { return m_dir != nullptr; }

    const char* next() {
        while (const dirent* entry = ::readdir(m_dir)) {
            const char* name = entry->d_name;
            if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
                return name;
        }
        return nullptr;
    }

private:
    DIR* m_dir = nullptr;
};

} // namespace brisklet::platform
