#pragma once

#include <cstdlib>
#include <gtest/gtest.h>

// A GL test without a usable GL context cannot look at any pixel. Where the run promises GL
// (MONDREL_REQUIRE_GL set, as scripts/test.sh does under Xvfb) that is a failure, so that a
// broken display set-up can never pass as green; elsewhere the test is skipped with the reason.
#define MONDREL_SKIP_WITHOUT_GL(reason)                                                            \
    do {                                                                                           \
        if (std::getenv("MONDREL_REQUIRE_GL"))                                                     \
            FAIL() << reason;                                                                      \
        else                                                                                       \
            GTEST_SKIP() << reason;                                                                \
    } while (0)
