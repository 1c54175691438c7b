#!/usr/bin/env bash
# A large module over a link that is cut: the scripted server
# (tests/fixtures/scripted_http.py) closes every response after 8 MiB of
# body, and TavUpdate.exe makes passes (each a whole process under Wine, an
# unsigned list naming the module with its SHA-256 and size) until the module
# is installed. Prints the passes it took and the body bytes the server sent
# for the module, against the module's size. Goal: installed within 9 passes,
# at most 1.1 x the module's bytes sent. With BENCH_BASELINE=<another
# TavUpdate.exe> the same with that program, up to the same number of passes.
#   bench/flaky/resume.sh   (BENCH_BUILD=folder to build elsewhere,
#                            BENCH_MODULE_MIB=n for another size (64),
#                            BENCH_CUT_MIB=n for another cut (8),
#                            BENCH_MOST_PASSES=n before giving up (12))
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
mib=${BENCH_MODULE_MIB:-64}
cut=$((${BENCH_CUT_MIB:-8} << 20))
most=${BENCH_MOST_PASSES:-12}

bench_begin flaky-resume TavUpdate
mkdir -p "$work/www" "$work/local"
head -c $((mib << 20)) /dev/urandom >"$work/www/module.bin"
bytes=$(stat -c %s "$work/www/module.bin")
printf '%s | /module.bin | - | sha256=%s | size=%s\r\n' "$(win "$work/local/module.bin")" \
    "$(sha256sum "$work/www/module.bin" | cut -d' ' -f1)" "$bytes" >"$work/www/TavUpdate.ver"

python3 -u - "$root/tests/fixtures" "$work/www" "$work/requests.log" "cut=$cut" \
    >"$work/port" <<'PY' &
import sys, time
sys.path.insert(0, sys.argv[1])
import scripted_http
server = scripted_http.start(sys.argv[2], sys.argv[3], None, sys.argv[4])
print(server.server_address[1])
time.sleep(24 * 3600)
PY
script_pid=$!
trap 'kill $script_pid 2>/dev/null || true; bench_end' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
start_xvfb
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60 2>/dev/null || true
bench_config "$work/pass.ini" HTTP "$port" /TavUpdate.ver "$(win "$work/TavUpdate.ver")"

# run <program>: passes until the module is installed (or most), and the
# body bytes sent for it.
run() {
    local program=$1 passes=0 start end
    rm -f "$work/local"/* "$work/TavUpdate.ver" "$work/requests.log.sent"
    start=$(date +%s.%N)
    while [ $passes -lt "$most" ]; do
        passes=$((passes + 1))
        "$wine_loader" "$program" "$(win "$work/pass.ini")" >/dev/null 2>&1 || true
        cmp -s "$work/local/module.bin" "$work/www/module.bin" && break
    done
    end=$(date +%s.%N)
    cmp -s "$work/local/module.bin" "$work/www/module.bin" || passes="not installed after $passes"
    local sent
    sent=$(awk '$2 == "/module.bin" { s += $1 } END { print s + 0 }' "$work/requests.log.sent")
    printf "%-9s passes: %s   sent: %s bytes (%s x the module)   %.1f s\n" "$2" "$passes" \
        "$sent" "$(python3 -c "print('%.3f' % ($sent / $bytes))")" \
        "$(python3 -c "print($end - $start)")"
}

echo "bench: a $mib MiB module ($bytes bytes), the link cut after every $((cut >> 20)) MiB of a body"
run "$build/bin/TavUpdate.exe" this
[ -z "${BENCH_BASELINE:-}" ] || run "$BENCH_BASELINE" baseline
