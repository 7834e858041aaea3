#!/usr/bin/env bash
# Builds Mondrel (installing what it needs) and runs the whole test suite headless; the GL
# tests run under Xvfb.
#   MONDREL_WERROR=ON    warnings are errors
#   MONDREL_SANITIZE=ON  build and run under AddressSanitizer + UndefinedBehaviorSanitizer
#                        (in build-asan/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
werror=${MONDREL_WERROR:-OFF}
sanitize=${MONDREL_SANITIZE:-OFF}
build=$top/build
[ "$sanitize" = ON ] && build=$top/build-asan

"$top/scripts/setup.sh" "$build" -DMONDREL_WERROR="$werror" -DMONDREL_SANITIZE="$sanitize"

if [ "$sanitize" = ON ]; then
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/tests/support/lsan.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
export MONDREL_REQUIRE_GL=1 # the GL tests run under Xvfb: no GL context is a failure
# A GUI test process now and then fails to connect to the fresh X server ("could not connect to
# display"); such a test gets one more run, and the log shows every failed attempt.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure -j 2 \
  --repeat until-pass:2
