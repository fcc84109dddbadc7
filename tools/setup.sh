#!/usr/bin/env bash
# Sets up a Debian 12 machine for Fennick Planner, builds it, then runs the program or the tests.
#   bash tools/setup.sh run    install what is missing, build, start the program
#   bash tools/setup.sh test   install what is missing, build, run the whole test suite; the tests
#                              of the team database run on a PostgreSQL server of their own that
#                              pg_virtualenv starts for the run and removes afterwards
#   bash tools/setup.sh deb    install what is missing, build, make the Debian package in build/
#   bash tools/setup.sh asan   install what is missing, build with AddressSanitizer and
#                              UndefinedBehaviorSanitizer in build-asan/ (the `asan` preset) and
#                              run the test suite there; any finding ends the test that made it
set -euo pipefail

mode="${1:-run}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"

packages=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-svg-dev libqt6sql6-sqlite qt6-image-formats-plugins
    libsqlite3-dev
    libpq-dev postgresql postgresql-common pgbouncer
    libical-dev
    fonts-liberation poppler-utils
    clang libclang-rt-14-dev
    xvfb xauth
    dpkg-dev file lintian appstream desktop-file-utils
    libxml2-utils xsltproc
    dbus-daemon libsecret-1-dev radicale
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs="$(nproc 2>/dev/null || echo 2)"
if [ "$mode" = asan ]; then
    build="$here/build-asan"
    (cd "$here" && cmake --preset asan)
else
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j"$jobs"

case "$mode" in
run)
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting the program on a virtual display (xvfb-run)."
        exec xvfb-run -a "$build/bin/fennick-planner"
    fi
    exec "$build/bin/fennick-planner"
    ;;
test | asan)
    cd "$build"
    # Left out under the sanitizers: the libFuzzer tests, which build and run sanitized binaries
    # of their own in the plain run already, and the iCalendar replay, which takes ten minutes
    # there (its corpus runs sanitized in its libFuzzer test). The package is not made there.
    skipped=()
    [ "$mode" = asan ] && skipped=(-E '_libfuzzer$|^fuzz_icalendar_replay$')
    # Without the caller's locale, as on a fresh minimal machine: the throw-away server then makes
    # SQL_ASCII databases unless asked for UTF-8, and the tests must still pass.
    env -i PATH="$PATH" HOME="${HOME:-/root}" USER="${USER:-$(id -un)}" LOGNAME="${LOGNAME:-$(id -un)}" \
        QT_QPA_PLATFORM=offscreen pg_virtualenv -t -v 15 ctest --output-on-failure -j"$jobs" "${skipped[@]}"
    ;;
deb)
    cd "$build"
    cpack -G DEB
    ;;
*)
    echo "usage: bash tools/setup.sh run|test|deb|asan" >&2
    exit 2
    ;;
esac
