#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the normal build,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of
# every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVRA_TESTS=ON -DKIVRA_BENCH=ON
(cd build && ctest --output-on-failure -j2)
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKIVRA_SANITIZE=ON -DKIVRA_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/../scripts/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2)
scripts/fuzz-smoke.sh "${KIVRA_FUZZ_SECONDS:-20}"
