#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: once in a
# Release build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
#   ./test.sh              all tests, both builds
#   ./test.sh --fuzz N     the same, with N events for the event fuzzer
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

FUZZ_EVENTS=50000
while [ $# -gt 0 ]; do
    case "$1" in
        --fuzz) FUZZ_EVENTS="$2"; shift 2 ;;
        *) echo "usage: $0 [--fuzz N]" >&2; exit 2 ;;
    esac
done

with_test_packages
install_packages
export QT_QPA_PLATFORM=offscreen
export QUILTARO_FUZZ_EVENTS="$FUZZ_EVENTS"

echo "== Release build"
build_tree "$ROOT/build"
ctest --test-dir "$ROOT/build" --output-on-failure -j"$(nproc)"

echo "== Sanitizer build (address, undefined)"
build_tree "$ROOT/build-sanitize" -DQUILTARO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Qt itself is not instrumented; its one-time allocations are not ours to report.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ROOT/build-sanitize" --output-on-failure -j"$(nproc)"
