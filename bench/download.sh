#!/usr/bin/env bash
# Download throughput over loopback from nginx, side by side:
#   DownloadFile under Wine (size query + download, as the update pass does),
#   a bare WinINet loop of 4096-byte reads and writes under Wine,
#   and curl.
# Each is run on a 16 MiB and a 512 MiB file; throughput is taken over the
# difference (496 MiB), so start-up and the first request cancel out.
# Prints the figures and the ratios; also each program's peak memory.
#   bench/download.sh            (BENCH_BUILD=folder to build elsewhere,
#                                 BENCH_LARGE_MIB=n for another large size)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/cmake/shell-helpers.sh"
large=${BENCH_LARGE_MIB:-512}
small=16

bench_begin download bench_download_file bench_bare_loop

mkdir -p "$work/www" "$work/out" "$work/nginx"
head -c $((small << 20)) /dev/urandom >"$work/www/small.bin"
head -c $((large << 20)) /dev/urandom >"$work/www/large.bin"

start_nginx "$work/nginx" "$work/www"
port=$nginx_port

# One display and one running wineserver for all Wine runs, so none of them
# pays for starting Wine inside its timed part.
wine_env "$build/wineprefix"
"$root/cmake/wine-prefix" "$WINEPREFIX"
wineserver -p60
winout=$(sed 's|/|\\|g' <<<"Z:$work/out")

# run <name> <size name>: prints "seconds peak_kib"
run() {
    local name=$1 file=$2 line
    rm -f "$work/out/$file"
    case $name in
    download_file | bare_loop)
        wine "$build/bin/bench_$name.exe" "$port" "/$file" "$winout\\$file" | tr -d '\r' \
            >"$work/$name.$file.txt"
        line=$(grep '^ok=' "$work/$name.$file.txt")
        grep '^reads=' "$work/$name.$file.txt" >"$work/split.$name.$file.txt" || true
        [[ $line == ok=1* ]] || { echo "bench: $name failed: $line" >&2; exit 1; }
        local secs=${line#*seconds=} peak=${line#*peak_ws_kib=}
        echo "${secs%% *} ${peak%% *}"
        ;;
    curl)
        local out
        out=$( { /usr/bin/time -f "%M" curl -s --noproxy "*" -o "$work/out/$file" -w "%{time_total}\n" \
            "http://127.0.0.1:$port/$file"; } 2>&1)
        echo "$(head -1 <<<"$out") $(tail -1 <<<"$out")"
        ;;
    esac
    cmp -s "$work/www/$file" "$work/out/$file" || { echo "bench: $name: $file differs" >&2; exit 1; }
}

declare -A secs peak
for name in download_file bare_loop curl; do
    for file in small.bin large.bin; do
        read -r s p < <(run $name $file)
        secs[$name.$file]=$s
        peak[$name.$file]=$p
    done
done
wineserver -k || true

mib=$((large - small))
printf "%-14s %10s %10s %12s %14s %14s\n" program "${small}MiB_s" "${large}MiB_s" "MiB/s" \
    "peak_${small}MiB" "peak_${large}MiB"
for name in download_file bare_loop curl; do
    rate=$(python3 -c "print('%.1f' % ($mib / (${secs[$name.large.bin]} - ${secs[$name.small.bin]})))")
    declare "rate_$name=$rate"
    printf "%-14s %10s %10s %12s %11s KiB %10s KiB\n" "$name" "${secs[$name.small.bin]}" \
        "${secs[$name.large.bin]}" "$rate" "${peak[$name.small.bin]}" "${peak[$name.large.bin]}"
done
python3 -c "print('DownloadFile / bare loop: %.2f' % ($rate_download_file / $rate_bare_loop))"
python3 -c "print('DownloadFile / curl:      %.3f' % ($rate_download_file / $rate_curl))"
python3 -c "print('bare loop / curl:         %.3f' % ($rate_bare_loop / $rate_curl))"
# The bare loop's time split for the large file (reads, seconds in
# InternetReadFile, seconds in WriteFile) and the cost of one read.
split=$(cat "$work/split.bare_loop.large.bin.txt")
echo "bare loop, ${large} MiB: $split"
python3 - "$split" <<'PY'
import sys
f = dict(kv.split("=") for kv in sys.argv[1].split())
print("per 4096-byte block: %.1f us in InternetReadFile, %.1f us in WriteFile"
      % (1e6 * float(f["read_seconds"]) / int(f["reads"]),
         1e6 * float(f["write_seconds"]) / int(f["reads"])))
PY
