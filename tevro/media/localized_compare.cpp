#include "tevro/media/localized_compare.h"

#include <cstring>
#include <memory>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

namespace tevro {

namespace {

// The process's locale, except that the POSIX locale (a bare "C" environment)
// has a code-point tailoring that would sort "Ep 2" before "ep 1": it falls
// back to the root order.
icu::Locale collationLocale() {
    const icu::Locale& def = icu::Locale::getDefault();
    const char* name = def.getName();
    if (std::strncmp(name, "en_US_POSIX", 11) == 0 || std::strcmp(name, "c") == 0 ||
        std::strcmp(name, "posix") == 0)
        return icu::Locale::getRoot();
    return def;
}

// Built once; never used for comparing, only cloned.
const icu::Collator* prototype() {
    static const std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(collationLocale(), status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (c) {
            status = U_ZERO_ERROR;
            c->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
            c->setAttribute(UCOL_STRENGTH, UCOL_TERTIARY, status);
        }
        return c;
    }();
    return collator.get();
}

// A collator keeps scratch state while it compares, so each thread has its own.
icu::Collator* threadCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        const icu::Collator* p = prototype();
        return std::unique_ptr<icu::Collator>(p ? p->clone() : nullptr);
    }();
    return collator.get();
}

} // namespace

int localizedStandardCompare(std::string_view a, std::string_view b) {
    icu::Collator* collator = threadCollator();
    if (!collator)
        return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r =
        collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                              icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status))
        return a.compare(b);
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

} // namespace tevro
