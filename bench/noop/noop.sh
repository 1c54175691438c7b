#!/usr/bin/env bash
# Cost of a no-op pass by what the list gives per module, over loopback from
# nginx: 50 current modules of 8 MiB against 50 current modules of 1 KiB,
# each listed with its SHA-256 (the local file is hashed, nothing is asked of
# the server) and listed without (a time query per module). Goals: a pass over
# the large modules costs at most 1.5 times the pass over the tiny ones, and
# the server sends at most 1 % of the module bytes (body bytes in its log).
# Last, bench/release/release.sh: a signed release, installed and no-op.
# Every module's local copy is a hard link of the served file: same bytes,
# same time, so every pass finds every module current. Each pass is timed from
# outside as a whole TavUpdate.exe process under Wine; the median of the runs
# counts. The hashing rate is the 400 MiB difference between the two
# hash-listed passes over the difference of their times, and, alone,
# bench_hash_file's over the same 50 files (HashFile as the pass calls it).
#   bench/noop/noop.sh   (BENCH_BUILD=folder to build elsewhere,
#                         BENCH_RUNS=n runs of each pass, default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
runs=${BENCH_RUNS:-5}
count=50

bench_begin noop TavUpdate bench_hash_file

for size in large small; do
    mkdir -p "$work/www/$size" "$work/local/$size"
    bytes=1024
    [ $size = large ] && bytes=$((8 << 20))
    : >"$work/www/$size-hash.ver"
    : >"$work/www/$size-time.ver"
    for i in $(seq -w 1 $count); do
        f=$work/www/$size/m$i.bin
        head -c $bytes /dev/urandom >"$f"
        ln "$f" "$work/local/$size/m$i.bin"
        local_path=$(win "$work/local/$size/m$i.bin")
        printf '%s | /%s/m%s.bin | - | sha256=%s\r\n' "$local_path" "$size" "$i" \
            "$(sha256sum "$f" | cut -d' ' -f1)" >>"$work/www/$size-hash.ver"
        printf '%s | /%s/m%s.bin\r\n' "$local_path" "$size" "$i" >>"$work/www/$size-time.ver"
    done
done

bench_servers "$work/www" "$work/nginx/access.log"
port=$nginx_port

for list in large-hash small-hash large-time small-time; do
    bench_config "$work/$list.ini" HTTP "$port" "/$list.ver" "$(win "$work/$list.ver")"
done

# pass <list>: median wall-clock seconds of the runs; requests and body bytes
# of one pass into requests[<list>] and body[<list>]
declare -A secs requests body
pass() {
    local list=$1 times=() before start end
    for _ in $(seq "$runs"); do
        before=$(wc -l <"$work/nginx/access.log")
        start=$(date +%s.%N)
        "$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/$list.ini")" >/dev/null 2>&1
        end=$(date +%s.%N)
        requests[$list]=$(($(wc -l <"$work/nginx/access.log") - before))
        body[$list]=$(tail -n +"$((before + 1))" "$work/nginx/access.log" |
            awk '{ sum += $10 } END { print sum + 0 }')
        times+=("$(python3 -c "print('%.3f' % ($end - $start))")")
    done
    secs[$list]=$(median "${times[@]}")
    echo "  $list: ${times[*]} s"
}

echo "bench: $runs runs of each pass ($count modules each)"
for list in small-hash large-hash small-time large-time; do pass $list; done
for f in "$work"/local/*/*.bin; do
    cmp -s "$f" "$work/www/${f#"$work"/local/}" || { echo "bench: $f changed" >&2; exit 1; }
done

printf "%-22s %10s %10s %10s\n" pass "1KiB_s" "8MiB_s" "8MiB/1KiB"
for kind in hash time; do
    printf "%-22s %10s %10s %10s\n" "$kind-listed" "${secs[small-$kind]}" "${secs[large-$kind]}" \
        "$(python3 -c "print('%.2f' % (${secs[large-$kind]} / ${secs[small-$kind]}))")"
done
printf "requests of one pass: hash-listed %s and %s, time-listed %s and %s\n" \
    "${requests[small-hash]}" "${requests[large-hash]}" "${requests[small-time]}" "${requests[large-time]}"
for kind in hash time; do
    python3 -c "print('body bytes of the 8 MiB $kind-listed pass: %d, %.3f %% of the modules' % (${body[large-$kind]}, 100.0 * ${body[large-$kind]} / ($count * 8 * 1048576)))"
done
python3 -c "print('hashing in the pass: %.0f MiB/s' % ($count * 8 / (${secs[large-hash]} - ${secs[small-hash]})))" 2>/dev/null ||
    echo "hashing in the pass: too fast to tell from the noise"
files=()
for f in "$work"/local/large/*.bin; do files+=("$(win "$f")"); done
echo "hashing alone (bench_hash_file): $("$wine_loader" "$build/bin/bench_hash_file.exe" "${files[@]}" | head -n 1)"

# The same for a signed release: 50 modules found current by their digests,
# each held from its check to the end of the pass (BENCH_BASELINE compares).
echo "bench: a signed release (bench/release/release.sh)"
"$root/bench/release/release.sh"
