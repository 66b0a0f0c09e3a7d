// LocalizedNameOrder: the localized, case-insensitive order of names shown to the user.
//
// An ICU collator of the user's locale at secondary strength: case is ignored, accents are not.
// The POSIX locale's collation orders by code point (upper case first), so it is replaced by the
// root collation. One object per sort; it is not meant to be shared between threads.
#pragma once

#include "platform/Export.h"

#include <memory>
#include <string_view>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT LocalizedNameOrder {
public:
    LocalizedNameOrder();
    ~LocalizedNameOrder();
    LocalizedNameOrder(const LocalizedNameOrder&) = delete;
    LocalizedNameOrder& operator=(const LocalizedNameOrder&) = delete;

    // Negative, zero or positive as a sorts before, equal to or after b (UTF-8 text).
    int compare(std::string_view a, std::string_view b) const;
    bool less(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }

private:
    struct Collator;
    std::unique_ptr<Collator> m_collator;
};

} // namespace brisklet
