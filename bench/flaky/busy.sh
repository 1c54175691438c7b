#!/usr/bin/env bash
# A busy server right after a release: 20 desktops start TavUpdate.exe
# together against a server that serves two answers at a time and answers the
# rest 503 with Retry-After: 2 (bench/flaky/busy_server.py), each body sent
# at 2 MiB/s. Every desktop reads the same list, which forces one module of
# 1 MiB; each has its own INI file, local list and folder (the module is named
# relative to the folder the updater starts in). Prints, for each round, the
# desktops that installed the module, their exit codes, the list requests
# (and how many were refused), the module requests, and the time until the
# last desktop ended. Goal: all install, and the server sees at most 2 x 20
# list requests.
# The desktops share one Wine prefix, where the pass lock (one pass at a time
# on a machine) would have them take turns: for the run a folder takes the
# lock file's name, so every pass runs unlocked, as one that cannot make its
# lock does; the folder goes when the script ends.
# BENCH_BASELINE=<another TavUpdate.exe> runs each round with that program
# too, right after this build's.
#   bench/flaky/busy.sh   (BENCH_BUILD=folder to build elsewhere,
#                          BENCH_DESKTOPS=n, default 20; BENCH_ROUNDS=n,
#                          default 3; BENCH_MODULE_KIB, default 1024;
#                          BENCH_RATE_KIB per answer, default 2048)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
desktops=${BENCH_DESKTOPS:-20}
rounds=${BENCH_ROUNDS:-3}
module_kib=${BENCH_MODULE_KIB:-1024}
rate_kib=${BENCH_RATE_KIB:-2048}

bench_begin busy TavUpdate app_fixture_shell
mkdir -p "$work/www"
head -c $((module_kib * 1024)) /dev/urandom >"$work/www/client.bin"
printf 'client.bin | /client.bin | F\r\n' >"$work/www/TavUpdate.ver"

start_xvfb
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60 2>/dev/null || true
start_stand_in_shell "$build"
# The system folder the updater's lock is in: the 32-bit one for the i686 build.
system=$WINEPREFIX/drive_c/windows/system32
[ "$windows_arch" = x86_64 ] || system=$WINEPREFIX/drive_c/windows/syswow64
lock=$system/TavUpdate.lock
server_pid=""
cleanup() {
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
    [ ! -d "$lock" ] || rmdir "$lock"
    bench_end
}
trap cleanup EXIT
rm -f "$lock"
mkdir "$lock"

coproc SERVER { exec python3 "$root/bench/flaky/busy_server.py" "$work/www" "$work/requests.log" \
    --slots 2 --after 2 --rate $((rate_kib * 1024)); }
server_pid=$SERVER_PID
read -r port <&"${SERVER[0]}"

echo "bench: $desktops desktops, $rounds rounds, a forced module of $module_kib KiB sent at" \
    "$rate_kib KiB/s per answer, two answers at a time, the rest 503 + Retry-After: 2"
programs=("$build/bin/TavUpdate.exe")
[ -z "${BENCH_BASELINE:-}" ] || programs+=("$BENCH_BASELINE")
printf '%-6s %-9s %9s %-22s %14s %8s %14s %8s\n' round program installed "exit codes" \
    "list requests" refused "module requests" seconds
for r in $(seq "$rounds"); do
    for program in "${programs[@]}"; do
        name=this
        [ "$program" = "${programs[0]}" ] || name=baseline
        rm -rf "$work/desk"
        : >"$work/requests.log"
        for i in $(seq -w 1 "$desktops"); do
            mkdir -p "$work/desk/$i"
            bench_config "$work/desk/$i/pass.ini" HTTP "$port" /TavUpdate.ver \
                "$(win "$work/desk/$i/TavUpdate.ver")"
        done
        start=$(date +%s.%N)
        pids=()
        for i in $(seq -w 1 "$desktops"); do
            (cd "$work/desk/$i" &&
                exec "$wine_loader" "$program" "$(win "$work/desk/$i/pass.ini")") \
                >/dev/null 2>&1 &
            pids+=($!)
        done
        codes=()
        for p in "${pids[@]}"; do
            code=0
            wait "$p" || code=$?
            codes+=("$code")
        done
        end=$(date +%s.%N)
        installed=0
        for i in $(seq -w 1 "$desktops"); do
            ! cmp -s "$work/desk/$i/client.bin" "$work/www/client.bin" || installed=$((installed + 1))
        done
        lists=$(grep -c ' /TavUpdate.ver ' "$work/requests.log" || true)
        refused=$(grep -c '^503 [A-Z]* /TavUpdate.ver ' "$work/requests.log" || true)
        modules=$(grep -c ' /client.bin ' "$work/requests.log" || true)
        modules_refused=$(grep -c '^503 [A-Z]* /client.bin ' "$work/requests.log" || true)
        summary=$(printf '%s\n' "${codes[@]}" | sort -n | uniq -c |
            awk '{printf "%s%sx%s", s, $1, $2; s=" "}')
        printf '%-6s %-9s %5s/%-3s %-22s %14s %8s %8s (%s 503) %8s\n' "$r" "$name" "$installed" \
            "$desktops" "$summary" "$lists" "$refused" "$modules" "$modules_refused" \
            "$(python3 -c "print('%.1f' % ($end - $start))")"
        cp "$work/requests.log" "/tmp/tav-bench-busy-requests.$r.$name.log"
    done
done
echo "bench: the request logs (status, method, path, seconds) are in /tmp/tav-bench-busy-requests.<round>.<program>.log"
