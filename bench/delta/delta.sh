#!/usr/bin/env bash
# A module received by its block map against the same module received whole,
# over loopback from nginx, in signed passes (tavpublish build, with and
# without --blocks):
#   a 64 MiB module whose release 2 inserts 1 MiB in the middle and changes
#   256 KiB near its end, release 1 installed;
#   the same release 2 over an installed file with nothing in common.
# For each: the bytes nginx sent for the module and its map (its access log)
# against the module's size and the changed bytes, and the pass's time (the
# whole process under Wine, from the same installed file, median of the runs)
# against the pass that receives the module whole.
#   bench/delta/delta.sh   (BENCH_BUILD=folder to build elsewhere,
#                           BENCH_RUNS=n runs of each pass, default 5,
#                           BENCH_MIB=n for another module size)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
runs=${BENCH_RUNS:-5}
mib=${BENCH_MIB:-64}

bench_begin delta TavUpdate
build_tavpublish

mkdir -p "$work/www/blocks" "$work/www/whole" "$work/local" "$work/old"
python3 - "$work" "$mib" <<'PY'
import os, sys
work, mib = sys.argv[1], int(sys.argv[2])
size = mib << 20
one = os.urandom(size)
half = size // 2
two = one[:half] + os.urandom(1 << 20) + one[half:]
near = len(two) - (1 << 20)
two = two[:near] + os.urandom(256 << 10) + two[near + (256 << 10):]
for path, data in (("old/release1.bin", one), ("old/other.bin", os.urandom(size)),
                   ("www/blocks/m.bin", two), ("www/whole/m.bin", two)):
    with open(os.path.join(work, path), "wb") as f:
        f.write(data)
PY
key=$("$tavpublish" keygen "$work/key.pem" | sed -n 's/^Signing Key=//p')
for kind in blocks whole; do
    printf '%s | /%s/m.bin | -\r\n' "$(win "$work/local/m.bin")" $kind >"$work/$kind.listing"
done
"$tavpublish" build --blocks --key "$work/key.pem" "$work/blocks.listing" "$work/www" \
    "$work/www/blocks.ver" >/dev/null
"$tavpublish" build --key "$work/key.pem" "$work/whole.listing" "$work/www" \
    "$work/www/whole.ver" >/dev/null

bench_servers "$work/www" "$work/access.log"
for kind in blocks whole; do
    bench_config "$work/$kind.ini" HTTP "$nginx_port" /$kind.ver "$(win "$work/$kind.ver")" "$key"
done

# Body bytes nginx logged for requests whose line holds the text, since the
# log was emptied.
sent() { grep -F "$1" "$work/access.log" | awk '{ s += $10 } END { print s + 0 }'; }

# run <kind> <installed>: median seconds of the runs, each from the installed
# file given; the module's and the map's bytes of the last run in
# work/<kind>.sent.
run() {
    local kind=$1 installed=$2 times=() start end
    for _ in $(seq "$runs"); do
        cp "$work/old/$installed" "$work/local/m.bin"
        rm -f "$work/$kind.ver"
        : >"$work/access.log"
        sync
        start=$(date +%s.%N)
        "$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/$kind.ini")" >/dev/null 2>&1
        end=$(date +%s.%N)
        times+=("$(python3 -c "print('%.3f' % ($end - $start))")")
        cmp -s "$work/local/m.bin" "$work/www/$kind/m.bin" ||
            { echo "bench: $kind over $installed not installed" >&2; exit 1; }
    done
    echo "$(sent "GET /$kind/m.bin ") $(sent ".blocks ")" >"$work/$kind.sent"
    median "${times[@]}"
}

module=$(stat -c %s "$work/www/blocks/m.bin")
changed=$(((1 << 20) + (256 << 10)))
echo "bench: $runs runs of each pass, a module of $module bytes"
for installed in release1.bin other.bin; do
    whole=$(run whole "$installed")
    blocks=$(run blocks "$installed")
    read -r sent mapped <"$work/blocks.sent"
    read -r whole_sent _ <"$work/whole.sent"
    python3 - "$installed" "$module" "$changed" "$sent" "$mapped" "$whole_sent" \
        "$blocks" "$whole" <<'PY'
import sys
installed, module, changed, sent, mapped, whole_sent = sys.argv[1], *map(int, sys.argv[2:7])
blocks, whole = map(float, sys.argv[7:9])
print("over %-12s by blocks: %10d bytes sent + %7d of map = %5.2f %% of the module"
      " (changed %d; whole pass sent %d)" % (installed, sent, mapped,
                                           100.0 * (sent + mapped) / module, changed, whole_sent))
print("%-17s pass %.3f s by blocks, %.3f s whole: %.3f x" % ("", blocks, whole, blocks / whole))
PY
done
