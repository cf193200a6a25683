#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Under CI (CI set), the tests also run
# once more on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "$0")/common.sh"
install_missing run build screen test
build

# The team register's tests run on a private PostgreSQL server, one for both runs below; each
# test makes its own scratch database on it.
SERVER_DIR="$(mktemp -d /tmp/orvane-test-server.XXXXXX)"
trap '"$ROOT/scripts/test-server.sh" stop "$SERVER_DIR" immediate || true; rm -rf "$SERVER_DIR"' EXIT
ORVANE_TEST_SERVER="$("$ROOT/scripts/test-server.sh" start "$SERVER_DIR" fsync=off)"
export ORVANE_TEST_SERVER

cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2

if [ -n "${CI:-}" ]; then
    # The warnings were checked by the build above; the sanitizers' instrumentation makes
    # the compiler guess at bounds it cannot see, so its warnings are not errors here.
    BUILD="$BUILD-sanitize" ORVANE_CMAKE_OPTIONS="-DORVANE_SANITIZE=ON -DORVANE_WERROR=OFF"
    build
    cd "$BUILD"
    # Leaks are not checked: Qt's and fontconfig's caches live until the process ends.
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 -E '^(fuzz_workbook|fuzz_vcard|tst_install|tst_deb)$'
fi
