#!/usr/bin/env bash
# Publishing behind a caching edge: varnish in front of the origin nginx,
# caching modules for a year and version lists and their signatures for a few
# seconds (BENCH_LIST_TTL, default 5). Four desktops (each its own local
# folder, taken in turn) make 20 TavUpdate.exe passes; after the first four,
# which install release 1, release 2 is published over it: once in place
# (today's workflow: the new modules copied over the old ones, the list built
# again) and once with tavpublish build --store, each against a fresh edge.
# Counts the passes that refused the release (exit code not 0), the module
# fetches a desktop made again (more fetches of one path than releases served
# at that path: two in place, one stored), and the module bytes the origin
# sent against those the edge sent.
# Goals with --store: no refused pass, no module fetched again, the origin
# sending each stored module once. The desktops share the prefix's registry (the accepted
# serial); the edge serves the lists in the order they were published, so
# that changes nothing here.
#   bench/cdn/cdn.sh   (BENCH_BUILD=folder to build elsewhere,
#                       BENCH_PASSES=n passes, default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
passes=${BENCH_PASSES:-20}
list_ttl=${BENCH_LIST_TTL:-5}
desktops=4
modules=8

bench_begin cdn TavUpdate
build_tavpublish
chmod 755 "$work" # varnish's worker runs as its own user
mkdir -p "$work/origin"
bench_servers "$work/origin" "$work/nginx/origin.log"
extra_pids=()
edge_ports=()
cleanup() {
    for p in "${extra_pids[@]:-}"; do [ -z "$p" ] || kill "$p" 2>/dev/null || true; done
    for p in "${edge_ports[@]:-}"; do
        [ -z "$p" ] || "$wine_loader" reg delete 'HKLM\SOFTWARE\Tav\TavUpdate' \
            /v "HTTP 127.0.0.1:$p /TavUpdate.ver" /f /reg:32 >/dev/null 2>&1 || true
    done
    bench_end
}
trap cleanup EXIT

"$tavpublish" keygen "$work/key.pem" >"$work/key.txt"
key=$(sed -n 's/^Signing Key=//p' "$work/key.txt")
: >"$work/listing"
for i in $(seq -w 1 $modules); do
    printf '%s | /app/m%s.bin\r\n' "$(win "$work/local/m$i.bin")" "$i" >>"$work/listing"
done

# publish <mode> <release folder>
publish() {
    if [ "$1" = store ]; then
        "$tavpublish" build --store "$work/origin" --key "$work/key.pem" "$work/listing" "$2" \
            "$work/origin/TavUpdate.ver" >/dev/null
    else
        mkdir -p "$work/origin/app"
        cp "$2"/app/* "$work/origin/app/"
        "$tavpublish" build --key "$work/key.pem" "$work/listing" "$work/origin" \
            "$work/origin/TavUpdate.ver" >/dev/null
    fi
}

for r in 1 2; do
    mkdir -p "$work/release$r/app"
    for i in $(seq -w 1 $modules); do head -c $((1 << 20)) /dev/urandom >"$work/release$r/app/m$i.bin"; done
done

# round <mode>: the passes; writes "refused fetches again origin_bytes edge_bytes
# most_origin_sends" into work/result-<mode>
round() {
    local mode=$1 port n d code refused=0
    rm -rf "${work:?}/origin/"* "$work"/desk* "$work/local"
    : >"$work/nginx/origin.log"
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    edge_ports+=("$port")
    start_edge "$work/edge-$mode" "$port" "$nginx_port" "$list_ttl"
    extra_pids+=("$edge_pid")
    varnishncsa -n "$work/edge-$mode/state" -F '%U %b' -w "$work/edge-$mode.log" &
    extra_pids+=($!)
    bench_config "$work/pass.ini" HTTP "$port" /TavUpdate.ver "$(win "$work/local/TavUpdate.ver")" "$key"
    for d in $(seq $desktops); do mkdir -p "$work/desk$d"; done
    publish "$mode" "$work/release1"
    : >"$work/fetches-$mode"
    for n in $(seq "$passes"); do
        [ "$n" = $((desktops + 1)) ] && publish "$mode" "$work/release2"
        d=$(((n - 1) % desktops + 1))
        mv "$work/desk$d" "$work/local"
        local before
        before=$(wc -l <"$work/edge-$mode.log")
        code=0
        "$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/pass.ini")" >/dev/null 2>&1 || code=$?
        mv "$work/local" "$work/desk$d"
        sleep 0.3 # the edge's log line of the last request
        [ "$code" = 0 ] || refused=$((refused + 1))
        tail -n +"$((before + 1))" "$work/edge-$mode.log" |
            awk -v d="$d" '$1 ~ /\/m[0-9]+\.bin$/ { print d, $1 }' >>"$work/fetches-$mode"
        echo "  $mode pass $n (desktop $d): exit code $code"
    done
    local fetches again origin edge most allowed=1
    [ "$mode" = store ] || allowed=2
    fetches=$(wc -l <"$work/fetches-$mode")
    again=$(sort "$work/fetches-$mode" | uniq -c | awk -v a=$allowed '$1 > a { s += $1 - a } END { print s + 0 }')
    origin=$(awk '$7 ~ /\/m[0-9]+\.bin$/ { s += $10 } END { print s + 0 }' "$work/nginx/origin.log")
    edge=$(awk '$1 ~ /\/m[0-9]+\.bin$/ { s += $2 } END { print s + 0 }' "$work/edge-$mode.log")
    most=$(awk '$7 ~ /\/m[0-9]+\.bin$/ { print $7 }' "$work/nginx/origin.log" | sort | uniq -c |
        awk '{ if ($1 > m) m = $1 } END { print m + 0 }')
    echo "$refused $fetches $again $origin $edge $most" >"$work/result-$mode"
}

echo "bench: $passes passes of $desktops desktops, $modules modules of 1 MiB, lists cached ${list_ttl} s"
declare -A result
for mode in inplace store; do
    round $mode
    result[$mode]=$(cat "$work/result-$mode")
done
printf "%-8s %7s %8s %8s %14s %12s %12s %12s\n" publish passes refused fetches fetched_again \
    origin_bytes edge_bytes origin_sends
for mode in inplace store; do
    read -r refused fetches again origin edge most <<<"${result[$mode]}"
    printf "%-8s %7s %8s %8s %14s %12s %12s %12s\n" "$mode" "$passes" "$refused" "$fetches" "$again" \
        "$origin" "$edge" "at most $most"
done
