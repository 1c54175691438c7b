#!/usr/bin/env bash
# Whole update pass against the bare WinINet loop, over loopback from nginx:
#   TavUpdate.exe making one pass whose only module is one forced file,
#   and bench_bare_loop (one GET, 4096-byte reads and writes).
# Each runs on a 16 MiB and a 512 MiB file, timed from outside as whole
# processes under Wine; throughput is taken over the difference (496 MiB), so
# start-up, the 600 ms of pauses of a pass and the first request cancel out.
# The pass shows its window (Xvfb when no display is set).
#   bench/pass/pass.sh         (BENCH_BUILD=folder to build elsewhere,
#                               BENCH_LARGE_MIB=n for another large size)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
large=${BENCH_LARGE_MIB:-512}
small=16

bench_begin pass TavUpdate bench_bare_loop

mkdir -p "$work/www" "$work/out"
head -c $((small << 20)) /dev/urandom >"$work/www/small.bin"
head -c $((large << 20)) /dev/urandom >"$work/www/large.bin"

bench_servers "$work/www"
port=$nginx_port

# One configuration and version list per file; the pass ends by starting a
# small system program, so no message box waits for a user.
for file in small.bin large.bin; do
    printf '%s|/%s|F\r\n' "$(win "$work/out/$file")" "$file" >"$work/www/$file.ver"
    bench_config "$work/$file.ini" HTTP "$port" "/$file.ver" "$(win "$work/$file.ver")"
done

# run <name> <file>: prints the wall-clock seconds of the whole process
run() {
    local name=$1 file=$2 start end
    rm -f "$work/out/$file"
    start=$(date +%s.%N)
    case $name in
    pass) "$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/$file.ini")" >/dev/null 2>&1 ;;
    bare_loop) "$wine_loader" "$build/bin/bench_bare_loop.exe" "$port" "/$file" "$(win "$work/out/$file")" >/dev/null ;;
    esac
    end=$(date +%s.%N)
    cmp -s "$work/www/$file" "$work/out/$file" || { echo "bench: $name: $file differs" >&2; exit 1; }
    python3 -c "print('%.3f' % ($end - $start))"
}

declare -A secs
for name in pass bare_loop; do
    for file in small.bin large.bin; do
        secs[$name.$file]=$(run $name $file)
    done
done

mib=$((large - small))
printf "%-10s %10s %10s %10s\n" program "${small}MiB_s" "${large}MiB_s" "MiB/s"
for name in pass bare_loop; do
    rate=$(python3 -c "print('%.1f' % ($mib / (${secs[$name.large.bin]} - ${secs[$name.small.bin]})))")
    declare "rate_$name=$rate"
    printf "%-10s %10s %10s %10s\n" "$name" "${secs[$name.small.bin]}" "${secs[$name.large.bin]}" "$rate"
done
python3 -c "print('pass / bare loop: %.2f' % ($rate_pass / $rate_bare_loop))"
