#!/usr/bin/env bash
# A signed release of two modules over a link that keeps breaking: the
# scripted server (tests/fixtures/scripted_http.py, linkcut=) closes the
# connection each time 20 MB of bodies have gone out since the last cut, so
# the first pass receives the first module whole and only a part of the
# second, and the release does not go in. TavUpdate.exe makes passes (each a
# whole process under Wine; list signed by tavpublish) until both modules are
# installed. Prints the passes it took and the module bytes the server sent,
# against the release's bytes. Goal: at most 1.1 x the release. With
# BENCH_BASELINE=<another TavUpdate.exe> the same with that program.
#   bench/flaky/release.sh   (BENCH_BUILD=folder to build elsewhere,
#                             BENCH_MODULE_MIB=n for another module size (16),
#                             BENCH_CUT_MB=n for another cut, in 10^6 bytes (20),
#                             BENCH_MOST_PASSES=n before giving up (12))
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
mib=${BENCH_MODULE_MIB:-16}
cut=$((${BENCH_CUT_MB:-20} * 1000000))
most=${BENCH_MOST_PASSES:-12}

bench_begin flaky-release TavUpdate
build_tavpublish
mkdir -p "$work/www" "$work/local"
: >"$work/listing"
for m in a b; do
    head -c $((mib << 20)) /dev/urandom >"$work/www/$m.bin"
    printf '%s | /%s.bin | -\r\n' "$(win "$work/local/$m.bin")" $m >>"$work/listing"
done
bytes=$(($(stat -c %s "$work/www/a.bin") * 2))
key=$("$tavpublish" keygen "$work/key.pem" | sed -n 's/^Signing Key=//p')
"$tavpublish" build --key "$work/key.pem" "$work/listing" "$work/www" "$work/www/TavUpdate.ver" >/dev/null

start_xvfb
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60 2>/dev/null || true
script_pid=""
trap '[ -z "$script_pid" ] || kill $script_pid 2>/dev/null || true; bench_end' EXIT

# serve: a scripted server of its own for a run, its link's count from zero,
# and the INI naming it.
serve() {
    [ -z "$script_pid" ] || kill $script_pid 2>/dev/null || true
    rm -f "$work/port"
    python3 -u - "$root/tests/fixtures" "$work/www" "$work/requests.log" "linkcut=$cut" \
        >"$work/port" <<'PY' &
import sys, time
sys.path.insert(0, sys.argv[1])
import scripted_http
server = scripted_http.start(sys.argv[2], sys.argv[3], None, sys.argv[4])
print(server.server_address[1])
time.sleep(24 * 3600)
PY
    script_pid=$!
    for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
    bench_config "$work/pass.ini" HTTP "$(cat "$work/port")" /TavUpdate.ver \
        "$(win "$work/TavUpdate.ver")" "$key"
}

installed() {
    cmp -s "$work/local/a.bin" "$work/www/a.bin" && cmp -s "$work/local/b.bin" "$work/www/b.bin"
}

# run <program> <name>: passes until the release is installed (or most), and
# the module bytes sent for it.
run() {
    local program=$1 passes=0 start end
    rm -rf "$work/local"/* "$work/TavUpdate.ver"* "$work/requests.log.sent"
    serve
    start=$(date +%s.%N)
    while [ $passes -lt "$most" ]; do
        passes=$((passes + 1))
        "$wine_loader" "$program" "$(win "$work/pass.ini")" >/dev/null 2>&1 || true
        installed && break
    done
    end=$(date +%s.%N)
    installed || passes="not installed after $passes"
    local sent
    sent=$(awk '$2 ~ /^\/[ab]\.bin/ { s += $1 } END { print s + 0 }' "$work/requests.log.sent")
    printf "%-9s passes: %s   sent: %s bytes (%s x the release)   %.1f s\n" "$2" "$passes" \
        "$sent" "$(python3 -c "print('%.3f' % ($sent / $bytes))")" \
        "$(python3 -c "print($end - $start)")"
}

echo "bench: a signed release of two $mib MiB modules ($bytes bytes), the link cut every $cut bytes of bodies"
run "$build/bin/TavUpdate.exe" this
[ -z "${BENCH_BASELINE:-}" ] || run "$BENCH_BASELINE" baseline
