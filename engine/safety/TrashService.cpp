#include "TrashService.h"

#include "PathValidator.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "platform/ReleasedSpace.h"
#include "platform/Trash.h"
#include "platform/TrashEntry.h"

#include <sys/stat.h>
#include <unistd.h>

namespace brisklet {

namespace {

const char* const noLongerInTrash = platform::goneFromTrash;
const char* const notInTrash = "not in the Trash";

// The system reads a path only up to a NUL: text holding one would name a folder above the item.
bool holdsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

bool somethingAt(const std::string& path) {
    struct stat st {};
    return !holdsNul(path) && ::lstat(path.c_str(), &st) == 0;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return path;
    char buffer[4096];
    const std::string cwd = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    return platform::joinPath(cwd, path);
}

// The place of an item with the folders above it resolved and its own name kept, so that a link is
// judged and handled by where it lies.
std::string placeOf(const std::string& path) {
    const std::string standardized = platform::standardizedPath(absolutePath(path));
    const std::string name = platform::lastPathComponent(standardized);
    if (name.empty())
        return standardized;
    const std::string folder = platform::parentPath(standardized);
    return platform::joinPath(platform::resolvedPath(folder).value_or(folder), name);
}

// Gone from its Trash name is missing, like an item emptied; another item in its place is refused
// untouched, which is not the same as having found nothing there.
const char* resultOf(const std::string& checkFailure) {
    if (checkFailure == platform::goneFromTrash)
        return "missing";
    return checkFailure == platform::changedInTrash ? "rejected" : "error";
}

// Sets releasedBytes of the succeeded outcomes, the batch's other links known.
template <typename Outcome>
void assignReleasedBytes(std::vector<Outcome>& outcomes, const std::vector<platform::ItemUsage>& usage) {
    std::vector<bool> removed;
    removed.reserve(outcomes.size());
    for (const Outcome& outcome : outcomes)
        removed.push_back(outcome.success);
    const std::vector<std::int64_t> released = platform::releasedBytes(usage, removed);
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        outcomes[i].releasedBytes = released[i];
}

} // namespace

TrashService::TrashService(std::shared_ptr<AuditLog> audit) : m_audit(std::move(audit)) {}

std::vector<TrashOutcome> TrashService::movePathsToTrash(const std::vector<std::string>& paths,
                                                         const std::map<std::string, std::int64_t>& sizes) const {
    std::vector<TrashOutcome> outcomes;
    outcomes.reserve(paths.size());
    std::vector<platform::ItemUsage> usage(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto size = sizes.find(paths[i]);
        outcomes.push_back(trashOne(paths[i], size == sizes.end() ? 0 : size->second, usage[i]));
    }
    assignReleasedBytes(outcomes, usage);
    return outcomes;
}

TrashOutcome TrashService::movePathToTrash(const std::string& path, std::int64_t sizeBytes) const {
    std::vector<platform::ItemUsage> usage(1);
    std::vector<TrashOutcome> outcomes{trashOne(path, sizeBytes, usage[0])};
    assignReleasedBytes(outcomes, usage);
    return std::move(outcomes[0]);
}

TrashOutcome TrashService::trashOne(const std::string& path, std::int64_t sizeBytes, platform::ItemUsage& usage) const {
    auto record = [&](const char* result, std::string reason = {}) {
        if (m_audit)
            m_audit->record("trash", path, sizeBytes, result, std::move(reason));
    };
    if (auto refused = rejection(path)) {
        record("rejected", *refused);
        return {path, sizeBytes, false, std::move(refused), std::nullopt};
    }
    // Measured where the move takes it from: the folders above resolved, the last component itself.
    usage = platform::measureItemUsage(placeOf(path));
    const platform::TrashMove moved = platform::Trash::moveToTrash(path);
    if (!moved.success) {
        record("error", moved.failureDescription);
        return {path, sizeBytes, false, moved.failureDescription, std::nullopt};
    }
    record("ok");
    return {path, sizeBytes, true, std::nullopt, moved.trashedPath, moved.identity};
}

std::vector<RestoreOutcome> TrashService::restoreFromTrash(const std::vector<RestoreItem>& items) const {
    std::vector<RestoreOutcome> outcomes;
    outcomes.reserve(items.size());
    for (const RestoreItem& item : items)
        outcomes.push_back(restoreOne(item));
    return outcomes;
}

RestoreOutcome TrashService::restoreOne(const RestoreItem& item) const {
    auto record = [&](const std::string& path, const char* result, std::string reason = {}) {
        if (m_audit)
            m_audit->record("restore", path, item.sizeBytes, result, std::move(reason));
    };
    auto failed = [&](const char* result, std::string description) {
        record(item.originalPath, result, description);
        return RestoreOutcome{item.originalPath, item.originalPath, false, std::move(description)};
    };

    // The link itself counts: a trashed link whose target is gone is still in the Trash.
    if (!somethingAt(item.trashPath))
        return failed("missing", noLongerInTrash);
    const std::string place = placeOf(item.trashPath);

    std::optional<platform::TrashEntry> entry;
    if (item.identity) {
        std::string problem;
        entry = platform::TrashEntry::open(place, problem);
        if (!entry)
            return failed(resultOf(problem), problem);
        if (auto changed = entry->check(*item.identity))
            return failed(resultOf(*changed), *changed);
    }

    const std::string folder = platform::parentPath(item.originalPath);
    if (!folder.empty())
        if (auto problem = platform::createDirectoriesReporting(folder))
            return failed("error", *problem);

    const std::string destination =
        somethingAt(item.originalPath) ? recoveredVariant(item.originalPath) : item.originalPath;
    if (entry) {
        // Looked at once more right before the move: the folders above may have taken a while.
        if (auto changed = entry->check(*item.identity))
            return failed(resultOf(*changed), *changed);
        if (auto problem = platform::moveItemAt(entry->filesFolder(), entry->name(), destination))
            return failed("error", *problem);
    } else if (auto problem = platform::moveItem(item.trashPath, destination)) {
        return failed("error", *problem);
    }

    if (entry)
        entry->forget();
    else
        platform::Trash::forgetItem(place);
    record(destination, "ok");
    return {item.originalPath, destination, true, std::nullopt};
}

std::vector<PurgeOutcome> TrashService::purgeFromTrash(const std::vector<PurgeItem>& items) const {
    std::vector<PurgeOutcome> outcomes;
    outcomes.reserve(items.size());
    // Every item is measured before any goes: a removal lowers the link counts the later items would see,
    // so a file with links in several items would count as released more than once.
    std::vector<platform::ItemUsage> usage(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (isInsideTrash(items[i].trashPath))
            usage[i] = platform::measureItemUsage(placeOf(items[i].trashPath));
    for (const PurgeItem& item : items)
        outcomes.push_back(purgeOne(item));
    assignReleasedBytes(outcomes, usage);
    return outcomes;
}

PurgeOutcome TrashService::purgeOne(const PurgeItem& item) const {
    auto finish = [&](const char* result, std::optional<std::string> description) {
        if (m_audit)
            m_audit->record("purge", item.trashPath, item.sizeBytes, result, description.value_or(std::string()));
        return PurgeOutcome{item.trashPath, item.sizeBytes, !description.has_value(), std::move(description)};
    };
    if (!isInsideTrash(item.trashPath))
        return finish("rejected", notInTrash);
    // Judged and removed by where it lies: the same place isInsideTrash tested.
    const std::string place = placeOf(item.trashPath);
    if (!somethingAt(place))
        return finish("missing", noLongerInTrash);
    if (item.identity) {
        std::string problem;
        auto entry = platform::TrashEntry::open(place, problem);
        if (!entry)
            return finish(resultOf(problem), problem);
        if (auto changed = entry->check(*item.identity))
            return finish(resultOf(*changed), *changed);
        // The removal checks the device and inode again on what it is about to unlink or enter.
        if (auto problem = platform::removeItemAt(entry->filesFolder(), entry->name(), place,
                                                  {item.identity->device, item.identity->inode}))
            return finish("error", *problem);
        entry->forget();
    } else {
        if (auto problem = platform::removeItem(place))
            return finish("error", *problem);
        platform::Trash::forgetItem(place);
    }
    return finish("ok", std::nullopt);
}

std::optional<std::string> TrashService::rejection(const std::string& path) {
    if (const auto refused = refusal(path))
        return refused->description();
    return std::nullopt;
}

std::optional<PathValidator::Rejection> TrashService::refusal(const std::string& path) {
    return PathValidator::deletionRejection(path, platform::homeDirectory());
}

platform::ItemUsage TrashService::measureRemoval(const std::string& path, std::stop_token stop) {
    return platform::measureItemUsage(placeOf(path), std::move(stop));
}

std::vector<std::int64_t> TrashService::releasedBytes(const std::vector<platform::ItemUsage>& items,
                                                      const std::vector<bool>& removed) {
    return platform::releasedBytes(items, removed);
}

bool TrashService::isInsideTrash(const std::string& path) {
    if (path.empty() || holdsNul(path))
        return false;
    const std::string candidate = placeOf(path);
    for (const std::string& trash : platform::Trash::trashDirectoriesFor(candidate)) {
        const std::string files = platform::joinPath(trash, "files");
        const std::string root = platform::resolvedPath(files).value_or(platform::standardizedPath(files));
        if (platform::isWithinPath(candidate, root) && candidate != root)
            return true;
    }
    return false;
}

std::string TrashService::recoveredVariant(const std::string& originalPath) {
    const std::string path = platform::withoutTrailingSlashes(originalPath);
    const std::string name = platform::lastPathComponent(path);
    const std::string folder = platform::parentPath(path);
    const std::size_t dot = name.rfind('.');
    std::string variant;
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        variant = name + " (recovered)";
    else
        variant = name.substr(0, dot) + " (recovered)" + name.substr(dot);
    return folder.empty() ? variant : platform::joinPath(folder, variant);
}

} // namespace brisklet
