#!/usr/bin/env bash
# A pass that finds every module current, over large and over tiny modules:
#   TavUpdate.exe against nginx on loopback, 50 modules of 8 MiB, then 50 of
#   1 KB, each installed locally with a later time than the server's copy.
# Prints each pass's seconds, their ratio (goal: at most 1.5) and the body
# bytes nginx sent in the large pass against the module bytes (goal: at most
# 1 %): a current module must cost no body bytes beyond what is in flight.
#   bench/noop/noop.sh    (BENCH_BUILD=folder to build elsewhere,
#                          BENCH_MODULES=n, BENCH_LARGE_MIB=n for other sizes)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
modules=${BENCH_MODULES:-50}
large_mib=${BENCH_LARGE_MIB:-8}

read_windows_arch
build=${BENCH_BUILD:-$windows_build}
echo "bench: $windows_arch build ($windows_reason)"
configure_windows_build "$build"
cmake --build "$build" --target TavUpdate >/dev/null

work=$(mktemp -d /tmp/tav-bench-noop.XXXXXX)
nginx_pid=""
xvfb_pid=""
cleanup() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
    WINEPREFIX=$build/wineprefix wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
win() { echo "Z:${1//\//\\}"; }

# set <name> <bytes per module>: server copies dated 2020, local copies now.
make_set() {
    local name=$1 bytes=$2 i
    mkdir -p "$work/www/$name" "$work/local/$name"
    head -c "$bytes" /dev/urandom >"$work/module"
    : >"$work/www/$name.ver"
    for i in $(seq "$modules"); do
        cp "$work/module" "$work/www/$name/m$i.bin"
        touch -d 2020-01-01 "$work/www/$name/m$i.bin"
        cp "$work/module" "$work/local/$name/m$i.bin"
        printf '%s|/%s/m%s.bin|\r\n' "$(win "$work/local/$name/m$i.bin")" "$name" "$i" \
            >>"$work/www/$name.ver"
    done
}
make_set large $((large_mib << 20))
make_set tiny 1024

start_nginx "$work/nginx" "$work/www" "$work/nginx/access.log"
start_xvfb
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60

# run <set>: prints "seconds body_bytes" of one whole pass
run() {
    local name=$1 start end before
    printf '[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=%s\r\nRemote Version File=/%s.ver\r\n[LOCAL]\r\nLocal Version File=%s\r\nDefault Exec File=C:\\windows\\system32\\hostname.exe\r\n' \
        "$nginx_port" "$name" "$(win "$work/$name.ver")" >"$work/$name.ini"
    before=$(wc -l <"$work/nginx/access.log")
    start=$(date +%s.%N)
    wine "$build/bin/TavUpdate.exe" "$(win "$work/$name.ini")" >/dev/null 2>&1
    end=$(date +%s.%N)
    local bytes
    bytes=$(tail -n +"$((before + 1))" "$work/nginx/access.log" | grep "/$name/" |
        awk '{ sum += $10 } END { print sum + 0 }')
    python3 -c "print('%.3f %d' % ($end - $start, $bytes))"
}

run tiny >/dev/null # first start of Wine and the program out of the way
read -r tiny_s tiny_bytes < <(run tiny)
read -r large_s large_bytes < <(run large)
module_bytes=$((modules * (large_mib << 20)))
printf "%-28s %10s %14s\n" pass seconds body_bytes
printf "%-28s %10s %14s\n" "$modules current x 1 KB" "$tiny_s" "$tiny_bytes"
printf "%-28s %10s %14s\n" "$modules current x $large_mib MiB" "$large_s" "$large_bytes"
python3 -c "print('large / tiny: %.2f (goal <= 1.5)' % ($large_s / $tiny_s))"
python3 -c "print('body bytes sent: %.3f %% of %d module bytes (goal <= 1 %%)' % (100.0 * $large_bytes / $module_bytes, $module_bytes))"
