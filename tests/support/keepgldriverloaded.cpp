// Linked into the GUI test programs of sanitizer builds only. Mesa unloads its software GL
// driver at exit, before LeakSanitizer looks at what is still allocated; the few blocks the
// driver leaves then have stacks pointing into unmapped code, which no suppression can name.
// Holding the driver loaded for the whole process keeps those stacks readable, so leak checking
// stays on for everything else.
#include <dlfcn.h>

namespace {

struct KeepGlDriverLoaded {
    KeepGlDriverLoaded() {
        const char* const drivers[] = {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                       "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so",
                                       "swrast_dri.so"};
        for (const char* driver : drivers)
            if (dlopen(driver, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
                return;
    }
};

const KeepGlDriverLoaded keepGlDriverLoaded;

} // namespace
