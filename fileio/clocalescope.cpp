#include "fileio/clocalescope.h"

namespace {

// Created once and kept for the life of the process; newlocale on "C" cannot fail in
// practice, and a null locale simply leaves the thread's locale alone.
locale_t cNumericLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

CLocaleScope::CLocaleScope() : previous_(static_cast<locale_t>(nullptr)) {
    if (const locale_t c = cNumericLocale())
        previous_ = uselocale(c);
}

CLocaleScope::~CLocaleScope() {
    if (previous_)
        uselocale(previous_);
}
