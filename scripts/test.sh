#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds with warnings as errors (the benchmarks too,
# so they keep compiling), and runs every test: once in a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Every tracked source as clang-format leaves it (`cmake --build build --target format` mends it).
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

# Line tables only: enough for a failing test's backtrace, and the build is quicker than with full debug information.
bash scripts/build.sh build -DROWQUARRY_WERROR=ON -DROWQUARRY_BENCHMARKS=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
# Twice as many tests as cores: many spend their time waiting on a socket or a login deadline.
jobs=$(($(nproc) * 2))
(cd build && ctest -j"$jobs" --output-on-failure --timeout 300)

bash scripts/build.sh build-sanitize -DROWQUARRY_WERROR=ON -DROWQUARRY_SANITIZE=ON -DROWQUARRY_BENCHMARKS=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer-suppressions.txt:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-sanitize && ctest -j"$jobs" --output-on-failure --timeout 600)
