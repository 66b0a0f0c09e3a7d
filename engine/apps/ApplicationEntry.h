// ApplicationEntry: one installed application as the catalog found it.
//
// A plain value; entries are never changed in place (withSize returns a copy). Two entries are the
// same item exactly when their paths are equal (id()); equality covers every field.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brisklet {

struct BRISKLET_ENGINE_EXPORT ApplicationEntry {
    std::string name;                    // shown to the user
    std::optional<std::string> bundleID; // absent when the bundle has none or it could not be read
    std::string path;                    // absolute path of the bundle: a .app folder, an application
                                         // folder, an AppImage, or a package-managed desktop entry
    std::int64_t sizeBytes = 0;          // 0 until measured
    std::optional<std::string> version;  // the short version string
    bool isProtected = false;            // an operating-system application
    std::optional<std::string> icon = std::nullopt; // a theme icon name or an icon file, from the desktop entry

    const std::string& id() const { return path; }
    ApplicationEntry withSize(std::int64_t size) const;

    bool operator==(const ApplicationEntry&) const = default;
};

} // namespace brisklet

template <>
struct std::hash<brisklet::ApplicationEntry> {
    std::size_t operator()(const brisklet::ApplicationEntry& entry) const noexcept;
};
