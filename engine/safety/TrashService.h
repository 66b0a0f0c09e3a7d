// TrashService: every removal the system makes. It never deletes outright.
//
// Protocol:
//  - movePathsToTrash asks PathValidator about each path, then moves it (a symbolic link as itself) into
//    the Trash of its volume. restoreFromTrash puts items back, never over an existing item (one
//    " (recovered)" variant is tried). purgeFromTrash permanently deletes only items that really lie
//    inside a Trash. When an item leaves the Trash its .trashinfo and directorysizes line go too.
//  - Every item gets one outcome and one audit entry, in input order; a batch never aborts or throws.
//  - A trash outcome records what was moved (TrashedIdentity). Given back with a restore or purge item,
//    the item is acted on only while the Trash entry is still that item; otherwise it fails with
//    "changed in the Trash since it was moved there", recorded as "rejected", and nothing is touched.
//    Without it, whatever lies at the Trash path is taken.
//  - Sizes are the caller's, carried unchanged. Each item is also measured for releasedBytes: what its
//    removal really gives back, counting a file with other links only when all of them go in the batch.
//    Operations block while the file system works and may run on any thread; their audit entries are
//    written asynchronously (flush the log to see them). An entry for an action that did not happen
//    carries the outcome's failure text as its reason.
//  - rejection() and measureRemoval() let a review judge and measure items the way the trash step will.
#pragma once

#include "AuditLog.h"
#include "PathValidator.h"
#include "TrashOutcomes.h"
#include "platform/Export.h"
#include "platform/ReleasedSpace.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT TrashService {
public:
    struct RestoreItem {
        std::string trashPath;
        std::string originalPath;
        std::int64_t sizeBytes = 0;
        std::optional<TrashedIdentity> identity = std::nullopt; // from the trash outcome
    };
    struct PurgeItem {
        std::string trashPath;
        std::int64_t sizeBytes = 0;
        std::optional<TrashedIdentity> identity = std::nullopt; // from the trash outcome
    };

    // The log is shared, not owned: copies of the service record into the same log.
    explicit TrashService(std::shared_ptr<AuditLog> audit);

    const std::shared_ptr<AuditLog>& audit() const { return m_audit; }

    // One outcome per path, in order; a path missing from sizes counts 0 bytes.
    std::vector<TrashOutcome> movePathsToTrash(const std::vector<std::string>& paths,
                                               const std::map<std::string, std::int64_t>& sizes) const;
    TrashOutcome movePathToTrash(const std::string& path, std::int64_t sizeBytes) const;
    std::vector<RestoreOutcome> restoreFromTrash(const std::vector<RestoreItem>& items) const;
    std::vector<PurgeOutcome> purgeFromTrash(const std::vector<PurgeItem>& items) const;

    // Why the trash step would refuse path (the validator's text, with this user's home), or nothing.
    // Looks at the file system: not for the GUI thread.
    static std::optional<std::string> rejection(const std::string& path);
    // The same judgement as a record, for a screen that words the reason its own way.
    static std::optional<PathValidator::Rejection> refusal(const std::string& path);
    // What removing path would give back, measured where the trash step measures it; ends early, with
    // a smaller figure, when stop is requested. Walks the whole item: not for the GUI thread.
    static platform::ItemUsage measureRemoval(const std::string& path, std::stop_token stop = {});
    // The bytes each item releases when exactly the items marked removed go together (0 for the others).
    static std::vector<std::int64_t> releasedBytes(const std::vector<platform::ItemUsage>& items,
                                                   const std::vector<bool>& removed);

    // Whether path lies strictly inside the Trash that serves it (a link judged by where it lies).
    static bool isInsideTrash(const std::string& path);

    // The sibling a restored item takes when its old place is occupied: "report (recovered).pdf".
    static std::string recoveredVariant(const std::string& originalPath);

private:
    TrashOutcome trashOne(const std::string& path, std::int64_t sizeBytes, platform::ItemUsage& usage) const;
    RestoreOutcome restoreOne(const RestoreItem& item) const;
    PurgeOutcome purgeOne(const PurgeItem& item) const;

    std::shared_ptr<AuditLog> m_audit;
};

} // namespace brisklet
