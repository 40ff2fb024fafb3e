#!/usr/bin/env bash
# Builds pixmeta and runs every test; exiftool (Debian package libimage-exiftool-perl) and
# xmllint (libxml2-utils) are installed too, as independent readers of the photos that
# edits write and of the KML documents; desktop-file-validate (desktop-file-utils) for the
# context-menu files; MariaDB, whose private test server (started and stopped by ctest)
# runs the SQL statements; and the tools that build, lint and read the Debian package and
# the manual page. With --sanitize the tests are built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
# GNU parallel runs the README's example of parallel runs.
optional="libimage-exiftool-perl libxml2-utils desktop-file-utils mariadb-server mariadb-client"
optional+=" lintian groff-base man-db bash parallel"
if [ "${1:-}" = "--sanitize" ]; then
  OPTIONAL_PACKAGES=$optional ./scripts/setup.sh build-asan -DPIXMETA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
else
  OPTIONAL_PACKAGES=$optional ./scripts/setup.sh build
  ctest --test-dir build --output-on-failure -j "$(nproc)"
fi
