#pragma once

#include <locale.h>

// Makes the calling thread format and parse numbers in the C locale for as long as the
// object lives, whatever the process locale is, so that curve files, grid files and printed
// lines always use a decimal point. Restores the thread's previous locale on destruction.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};
