#!/usr/bin/env bash
# Download throughput over loopback from nginx, side by side:
#   the whole pass (TavUpdate.exe, one forced module, timed from outside),
#   the same pass with the module listed with its SHA-256 (hashed once it
#   has arrived), DownloadFile under Wine (size query + download, as the
#   update pass does), a bare WinINet loop of 1 MiB reads and writes under
#   Wine (the largest read of a transfer) with a flush at its end, curl, and
#   curl followed by an fsync of its file (the durability of the flush the
#   pass makes before a module takes its place).
# Each is run on a 16 MiB and a large file (512 MiB), 3 times (the median
# counts), the programs taking turns within each round so that the load of a
# shared machine falls on all of them alike; the disk is synced before each
# run, so no run pays for writing back an earlier one's file. Throughput is
# taken over the difference of the sizes, so start-up and the first request
# cancel out. Prints the figures and the ratios; also each program's peak
# memory (the pass's and curl's as the largest resident size of the
# process) and the load average before and after.
# Then a slow link: the pass against the scripted server sending 10 KiB every
# 100 ms, with the largest gap between two growths of the module's partial
# file (sampled every 2 ms).
#   bench/download.sh            (BENCH_BUILD=folder to build elsewhere,
#                                 BENCH_LARGE_MIB=n for another large size,
#                                 BENCH_RUNS=n runs of each,
#                                 BENCH_PROGRAMS="pass curl_fsync" for some of
#                                 them, BENCH_SLOW=0 to leave out the slow link,
#                                 BENCH_BASELINE=<another TavUpdate.exe> for
#                                 its pass too, as pass_baseline)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/cmake/shell-helpers.sh"
large=${BENCH_LARGE_MIB:-512}
small=16
runs=${BENCH_RUNS:-3}
programs=${BENCH_PROGRAMS:-pass pass_sha256 download_file bare_loop curl curl_fsync}
[ -n "${BENCH_BASELINE:-}" ] && programs+=" pass_baseline"

bench_begin download TavUpdate bench_download_file bench_bare_loop

mkdir -p "$work/www" "$work/out" "$work/slow"
head -c $((small << 20)) /dev/urandom >"$work/www/small.bin"
head -c $((large << 20)) /dev/urandom >"$work/www/large.bin"

bench_servers "$work/www"
port=$nginx_port
winout=$(win "$work/out")

# The pass's configuration and list per file; the pass ends by starting a
# small system program, so no message box waits for a user.
pass_ini() { # <list folder> <port> <remote list> <name>
    bench_config "$work/$4.ini" HTTP "$2" "$3" "$(win "$work/$4.ver")"
}
for file in small.bin large.bin; do
    printf '%s|/%s|F\r\n' "$(win "$work/out/$file")" "$file" >"$work/www/$file.ver"
    pass_ini www "$port" "/$file.ver" "$file"
    printf '%s|/%s|F|sha256=%s\r\n' "$(win "$work/out/$file")" "$file" \
        "$(sha256sum "$work/www/$file" | cut -d' ' -f1)" >"$work/www/$file.sha.ver"
    pass_ini www "$port" "/$file.sha.ver" "$file.sha"
done

# run <name> <file>: prints "seconds peak_kib", once the copy is checked
run() {
    local name=$1 file=$2 result
    rm -f "$work/out/$file"
    sync
    result=$(run_once "$name" "$file")
    cmp -s "$work/www/$file" "$work/out/$file" || { echo "bench: $name: $file differs" >&2; exit 1; }
    rm -f "$work/out/$file"
    echo "$result"
}

run_once() {
    local name=$1 file=$2 line out start end
    case $name in
    download_file | bare_loop)
        local size=""
        [ $name = bare_loop ] && size=$((1 << 20))
        "$wine_loader" "$build/bin/bench_$name.exe" "$port" "/$file" "$winout\\$file" $size |
            tr -d '\r' >"$work/$name.$file.txt"
        line=$(grep '^ok=' "$work/$name.$file.txt")
        grep '^reads=' "$work/$name.$file.txt" >"$work/split.$name.$file.txt" || true
        [[ $line == ok=1* ]] || { echo "bench: $name failed: $line" >&2; exit 1; }
        local secs=${line#*seconds=} peak=${line#*peak_ws_kib=}
        echo "${secs%% *} ${peak%% *}"
        ;;
    pass | pass_sha256 | pass_baseline)
        local ini=$file exe=$build/bin/TavUpdate.exe
        [ $name = pass_sha256 ] && ini=$file.sha
        [ $name = pass_baseline ] && exe=$BENCH_BASELINE
        start=$(date +%s.%N)
        /usr/bin/time -f "%M" -o "$work/pass.peak" "$wine_loader" "$exe" \
            "$(win "$work/$ini.ini")" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        echo "$(python3 -c "print('%.3f' % ($end - $start))") $(tail -1 "$work/pass.peak")"
        ;;
    curl)
        out=$( { /usr/bin/time -f "%M" curl -s --noproxy "*" -o "$work/out/$file" -w "%{time_total}\n" \
            "http://127.0.0.1:$port/$file"; } 2>&1)
        echo "$(head -1 <<<"$out") $(tail -1 <<<"$out")"
        ;;
    curl_fsync)
        # Timed from outside like the pass; sync with a file names fsync(2).
        start=$(date +%s.%N)
        /usr/bin/time -f "%M" -o "$work/curl.peak" curl -s --noproxy "*" -o "$work/out/$file" \
            "http://127.0.0.1:$port/$file"
        sync "$work/out/$file"
        end=$(date +%s.%N)
        echo "$(python3 -c "print('%.3f' % ($end - $start))") $(tail -1 "$work/curl.peak")"
        ;;
    esac
}

declare -A secs peak times
for name in $programs; do
    for file in small.bin large.bin; do
        peak[$name.$file]=0
        times[$name.$file]=""
    done
done
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$runs"); do
    for name in $programs; do
        for file in small.bin large.bin; do
            run $name $file >"$work/run.txt"
            read -r s p <"$work/run.txt"
            times[$name.$file]+=" $s"
            [ "$p" -gt "${peak[$name.$file]}" ] && peak[$name.$file]=$p
        done
    done
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
for key in "${!times[@]}"; do
    # shellcheck disable=SC2086 # the run times, one word each
    secs[$key]=$(median ${times[$key]})
done

mib=$((large - small))
printf "%-14s %10s %10s %12s %14s %14s\n" program "${small}MiB_s" "${large}MiB_s" "MiB/s" \
    "peak_${small}MiB" "peak_${large}MiB"
for name in $programs; do
    rate=$(python3 -c "print('%.1f' % ($mib / (${secs[$name.large.bin]} - ${secs[$name.small.bin]})))")
    declare "rate_$name=$rate"
    printf "%-14s %10s %10s %12s %11s KiB %10s KiB\n" "$name" "${secs[$name.small.bin]}" \
        "${secs[$name.large.bin]}" "$rate" "${peak[$name.small.bin]}" "${peak[$name.large.bin]}"
done
for name in $programs; do
    echo "$name runs (s), ${small} MiB:${times[$name.small.bin]}; ${large} MiB:${times[$name.large.bin]}"
done
ratio() { # <label> <numerator> <denominator>: when both programs ran
    local a=rate_$2 b=rate_$3
    [ -n "${!a:-}" ] && [ -n "${!b:-}" ] && python3 -c "print('%-26s %.3f' % ('$1', ${!a} / ${!b}))"
    return 0
}
ratio "pass / curl:" pass curl
ratio "pass / (curl + fsync):" pass curl_fsync
ratio "baseline / (curl + fsync):" pass_baseline curl_fsync
ratio "pass (SHA-256) / curl:" pass_sha256 curl
ratio "DownloadFile / curl:" download_file curl
ratio "DownloadFile / bare loop:" download_file bare_loop
# The bare loop's time split for the large file: reads, seconds in
# InternetReadFile, in WriteFile and in the flush.
[ -f "$work/split.bare_loop.large.bin.txt" ] &&
    echo "bare loop (1 MiB reads), ${large} MiB: $(cat "$work/split.bare_loop.large.bin.txt")"
[ "${BENCH_SLOW:-1}" = 0 ] && exit 0

# The slow link: 600 KiB in 10 KiB pieces every 100 ms (about 6 s).
script_log=$work/slow/requests.log
python3 -u -c "
import sys, time
sys.path.insert(0, '$root/tests/fixtures')
import scripted_http
server = scripted_http.start('$work/slow', '$script_log')
print(server.server_address[1])
time.sleep(600)
" >"$work/slow/port" &
script_pid=$!
for _ in $(seq 100); do [ -s "$work/slow/port" ] && break; sleep 0.05; done
mkdir -p "$work/slowout"
printf '%s|/slow.bin?size=614400&slow=100&piece=10240|F\r\n' "$(win "$work/slowout/slow.bin")" \
    >"$work/slow/slow.ver"
pass_ini slow "$(cat "$work/slow/port")" /slow.ver slow
# Samples the partial file's size until the pass ends; prints the largest
# gap between two growths and how many there were.
python3 - "$work/slowout" >"$work/slow/gaps" <<'PY' &
import glob, os, sys, time
folder, last, growths, gap, seen = sys.argv[1], -1, 0, 0.0, None
end = time.time() + 120
while time.time() < end and not os.path.exists(os.path.join(folder, "slow.bin")):
    try:
        size = os.path.getsize(glob.glob(os.path.join(folder, "*.part"))[0])
    except (IndexError, OSError):  # not there yet, or just renamed
        size = -1
    now = time.monotonic()
    if size > last and size > 0:
        if seen is not None:
            gap = max(gap, now - seen)
        seen, last, growths = now, size, growths + 1
    time.sleep(0.002)
print("%.0f %d" % (gap * 1000, growths))
PY
watch_pid=$!
"$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/slow.ini")" >/dev/null 2>&1 || true
wait $watch_pid
kill $script_pid 2>/dev/null || true
python3 -c "import sys; sys.path.insert(0, '$root/tests/fixtures'); import scripted_http; \
open('$work/slow/expected', 'wb').write(scripted_http.pattern(614400))"
cmp -s "$work/slow/expected" "$work/slowout/slow.bin" || { echo "bench: slow.bin differs" >&2; exit 1; }
read -r gap growths <"$work/slow/gaps"
echo "slow link (10 KiB every 100 ms, 600 KiB): largest gap between growths of the partial file ${gap} ms, ${growths} growths"
wineserver -k || true
