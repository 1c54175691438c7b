#!/usr/bin/env bash
# Passes killed at any moment: a signed release of 24 modules of 200 KiB
# (every module new) over the one installed, served slowly by the scripted
# server (tests/fixtures/scripted_http.py, 16 KiB every 5 ms), its pass killed
# with SIGKILL (the Linux process of TavUpdate.exe under Wine, not the test
# hook) at 20 moments: 12 over the download (when the partial files hold
# 4 %, 12 %, ... 96 % of the release) and 8 over the swap (0 to 3 ms after
# the first installed file is set aside, polled in the module folder). Each
# kill is followed by a pass that reaches no server and one that does; the
# module folder is counted after each: torn (a file of neither release),
# missing, mixed (files of both). Goal: 0, 0, 0 after each pass; the online
# pass installs the new release whole and leaves no updater file.
# Then the time the journal adds to a signed release of 50 x 1 MiB: whole
# passes of this build against one without the journal (a second build,
# build/bench-nojournal, -DTAV_BENCH_NO_JOURNAL=ON), taking turns, the median
# of each. Goal: under 5 %.
#   bench/crash/crash.sh   (BENCH_BUILD=folder, BENCH_MODULES=n (24),
#                           BENCH_MODULE_KIB=n (200), BENCH_KILLS=n (20),
#                           BENCH_RUNS=n (5), BENCH_TIMING_MIB=n (1))
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"

bench_begin crash TavUpdate
build_tavpublish
nojournal=$root/build/bench-nojournal
cmake -S "$root" -B "$nojournal" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw.cmake" -DTAV_ARCH="$windows_arch" \
    -DTAV_BUILD_TESTS=OFF -DTAV_BENCH_NO_JOURNAL=ON >/dev/null
cmake --build "$nojournal" --target TavUpdate >/dev/null

start_xvfb
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60 2>/dev/null || true
echo "bench: load $(cut -d' ' -f1-3 /proc/loadavg)"
python3 -u "$root/bench/crash/crash.py" "$tavpublish" "$build/bin/TavUpdate.exe" \
    "$nojournal/bin/TavUpdate.exe" "$wine_loader" "$work" "$root/tests/fixtures" \
    "${BENCH_MODULES:-24}" "${BENCH_MODULE_KIB:-200}" "${BENCH_KILLS:-20}" "${BENCH_RUNS:-5}" \
    "${BENCH_TIMING_MIB:-1}"
echo "bench: load $(cut -d' ' -f1-3 /proc/loadavg)"
