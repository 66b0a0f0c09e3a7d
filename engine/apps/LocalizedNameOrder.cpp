#include "LocalizedNameOrder.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace brisklet {

namespace {

// Built once; every order clones it, since one collator must not be used by two threads at once.
const icu::Collator* prototype() {
    static const icu::Collator* const collator = [] {
        icu::Locale locale = icu::Locale::getDefault();
        if (std::strcmp(locale.getVariant(), "POSIX") == 0 || std::strcmp(locale.getLanguage(), "c") == 0)
            locale = icu::Locale::getRoot();
        UErrorCode status = U_ZERO_ERROR;
        icu::Collator* created = icu::Collator::createInstance(locale, status);
        if (U_FAILURE(status)) {
            delete created;
            return static_cast<icu::Collator*>(nullptr);
        }
        created->setStrength(icu::Collator::SECONDARY);
        return created;
    }();
    return collator;
}

int foldedByteCompare(std::string_view a, std::string_view b) {
    const auto folded = [](unsigned char c) { return std::tolower(c); };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t index = 0; index < common; ++index) {
        const int difference = folded(static_cast<unsigned char>(a[index])) - folded(static_cast<unsigned char>(b[index]));
        if (difference != 0)
            return difference;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

struct LocalizedNameOrder::Collator {
    std::unique_ptr<icu::Collator> icu;
};

LocalizedNameOrder::LocalizedNameOrder() : m_collator(std::make_unique<Collator>()) {
    if (const icu::Collator* base = prototype())
        m_collator->icu.reset(base->clone());
}

LocalizedNameOrder::~LocalizedNameOrder() = default;

int LocalizedNameOrder::compare(std::string_view a, std::string_view b) const {
    if (!m_collator->icu)
        return foldedByteCompare(a, b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = m_collator->icu->compareUTF8(
        icu::StringPiece(a.data(), int32_t(a.size())), icu::StringPiece(b.data(), int32_t(b.size())), status);
    if (U_FAILURE(status))
        return foldedByteCompare(a, b);
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

} // namespace brisklet
