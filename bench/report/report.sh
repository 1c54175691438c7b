#!/usr/bin/env bash
# tavpublish report over an access log of 1 M pass reports from 100,000
# desktops over 14 days (bench/report/genlog.py: two rollouts, failures), and
# the same with --json and --html: seconds and peak memory of each, from
# /usr/bin/time -v. Goals: under 5 s, under 100 MiB. The tool is built without
# the sanitizers (Release) in build/bench-native.
#   bench/report/report.sh   (BENCH_LINES=n, BENCH_DESKTOPS=n, BENCH_RUNS=n, default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
lines=${BENCH_LINES:-1000000}
desktops=${BENCH_DESKTOPS:-100000}
runs=${BENCH_RUNS:-3}

cmake -S "$root" -B "$root/build/bench-native" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTAV_SANITIZE=OFF -DTAV_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/bench-native" --target tavpublish >/dev/null
tool=$root/build/bench-native/bin/tavpublish
work=$(mktemp -d /tmp/tav-bench-report.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 "$root/bench/report/genlog.py" "$work/access.log" "$work/list.ver" "$desktops" "$lines"
echo "bench: $(wc -l <"$work/access.log") lines, $(du -m "$work/access.log" | cut -f1) MiB, $desktops desktops; load $(cut -d' ' -f1-3 /proc/loadavg)"
cat "$work/access.log" >/dev/null # in the page cache for every run alike

# run LABEL ARGS...: each run's seconds and peak resident memory.
run() {
    local label=$1
    shift
    for i in $(seq "$runs"); do
        /usr/bin/time -v "$tool" report "$@" >"$work/out.txt" 2>"$work/time.txt"
        awk -v l="$label" -v i="$i" -F': ' '
            /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = p[n] + (n > 1 ? p[n-1] * 60 : 0) }
            /Maximum resident set size/ { m = $2 / 1024 }
            END { printf "%-28s run %d: %6.2f s  %6.1f MiB\n", l, i, s, m }' "$work/time.txt"
    done
}
run "report" "$work/access.log"
run "report --list --json --html" --list "$work/list.ver" --json "$work/r.json" \
    --html "$work/r.html" "$work/access.log"
sed -n '1,2p' "$work/out.txt"
grep -A3 '^rollout of' "$work/out.txt"
