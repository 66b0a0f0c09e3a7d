#include "DiskScanner.h"

#include "platform/FileServices.h"

namespace brisklet {

DiskScanner::ScanError::ScanError(std::string path)
    : Error("The folder \"" + path + "\" does not exist or is not a folder."), m_path(std::move(path)) {}

DiskScanner::DiskScanner(Options options, BeforeCall beforeCall)
    : m_options(std::move(options)), m_beforeCall(std::move(beforeCall)) {}

bool DiskScanner::isMountPoint(const std::string& path) { return platform::isMountPoint(path); }

ScanResult DiskScanner::scan(const std::string& root, const std::shared_ptr<ScanStats>&, std::stop_token) const {
    throw ScanError(root); // replaced by the pooled walker
}

} // namespace brisklet
