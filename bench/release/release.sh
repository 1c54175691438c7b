#!/usr/bin/env bash
# Cost of a signed pass over a release of 50 modules of 1 MiB, published with
# tavpublish (signed list, digests, sizes), served by nginx on loopback: the
# pass that installs the whole release (received, checked, put in place
# together) and the no-op pass that finds it current (each module hashed
# through a hold). With BENCH_BASELINE=<another TavUpdate.exe> the same passes
# run with that program too, in the same run, and the ratios are printed.
# Each pass is timed from outside as a whole process under Wine; the median of
# the runs counts.
#   bench/release/release.sh   (BENCH_BUILD=folder to build elsewhere,
#                               BENCH_RUNS=n runs of each pass, default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
runs=${BENCH_RUNS:-5}
count=50

bench_begin release TavUpdate
build_tavpublish

mkdir -p "$work/www/m" "$work/local"
: >"$work/listing"
for i in $(seq -w 1 $count); do
    head -c $((1 << 20)) /dev/urandom >"$work/www/m/m$i.bin"
    printf '%s | /m/m%s.bin | -\r\n' "$(win "$work/local/m$i.bin")" "$i" >>"$work/listing"
done
key=$("$tavpublish" keygen "$work/key.pem" | sed -n 's/^Signing Key=//p')
"$tavpublish" build --key "$work/key.pem" "$work/listing" "$work/www" "$work/www/TavUpdate.ver" >/dev/null

bench_servers "$work/www"
bench_config "$work/pass.ini" HTTP "$nginx_port" /TavUpdate.ver "$(win "$work/TavUpdate.ver")" "$key"

# run <program> <kind>: median seconds of the runs; "install" passes start
# from an empty local folder, "noop" passes from the installed release.
run() {
    local program=$1 kind=$2 times=() start end
    for _ in $(seq "$runs"); do
        [ "$kind" = noop ] || rm -f "$work/local"/* "$work/TavUpdate.ver"
        start=$(date +%s.%N)
        "$wine_loader" "$program" "$(win "$work/pass.ini")" >/dev/null 2>&1
        end=$(date +%s.%N)
        times+=("$(python3 -c "print('%.3f' % ($end - $start))")")
    done
    for f in "$work"/local/*.bin; do
        cmp -s "$f" "$work/www/m/$(basename "$f")" || { echo "bench: $f not installed" >&2; exit 1; }
    done
    median "${times[@]}"
}

echo "bench: $runs runs of each pass, a signed release of $count modules of 1 MiB"
declare -A secs
for kind in install noop; do
    secs[$kind]=$(run "$build/bin/TavUpdate.exe" $kind)
    if [ -n "${BENCH_BASELINE:-}" ]; then
        secs[base-$kind]=$(run "$BENCH_BASELINE" $kind)
        printf "%-8s this %6s s   baseline %6s s   this/baseline %s\n" $kind "${secs[$kind]}" \
            "${secs[base-$kind]}" "$(python3 -c "print('%.2f' % (${secs[$kind]} / ${secs[base-$kind]}))")"
    else
        printf "%-8s %6s s\n" $kind "${secs[$kind]}"
    fi
done
