#!/usr/bin/env bash
# A release published with tavpublish build --store behind a caching edge
# (varnish in front of the origin nginx; stored modules cached for a year, the
# list and its signature for a few seconds), while a pass runs and the edge
# still serves the older release: TavUpdate.exe passes under Wine never
# refuse a release (exit code 0 every time) and, once the list's cache time
# has passed, install the new one whole, from stored paths with 64-character
# folders and one name in two folders. Release 2 changes a few bytes of a
# module that has a block map: the pass fetches its chunks as ranges of the
# edge's cached copy.
#   cdn_test.sh BUILD   (the Windows test build)
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/cmake/shell-helpers.sh"
list_ttl=8

work=$(mktemp -d /tmp/tav-cdn-test.XXXXXX)
chmod 755 "$work" # varnish's worker runs as its own user
nginx_pid=""
varnish_pid=""
finish() {
    [ -z "$varnish_pid" ] || kill "$varnish_pid" 2>/dev/null || true
    [ -z "$nginx_pid" ] || kill "$nginx_pid" 2>/dev/null || true
    if [ -n "${edge_port:-}" ]; then
        (wine_env "$build/wineprefix" && for value in "HTTP 127.0.0.1:$edge_port /TavUpdate.ver" \
            TraceLevel TraceFile; do
            "$wine_loader" reg delete 'HKLM\SOFTWARE\Tav\TavUpdate' /v "$value" /f /reg:32 \
                >/dev/null 2>&1 || true
        done)
    fi
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

build_tavpublish

mkdir -p "$work/origin" "$work/release/app" "$work/local"
start_nginx "$work/nginx" "$work/origin"
edge_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
start_edge "$work/varnish" "$edge_port" "$nginx_port" "$list_ttl"
varnish_pid=$edge_pid

printf '%s | /app/a.dll\r\n%s | /app/data.bin\r\n' "$(win "$work/local/a.dll")" \
    "$(win "$work/local/data.bin")" >"$work/listing"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/key.pem" 2>/dev/null
key=$(openssl pkey -in "$work/key.pem" -pubout -outform DER | base64 -w0)
bench_config "$work/pass.ini" HTTP "$edge_port" /TavUpdate.ver "$(win "$work/local/TavUpdate.ver")" "$key"
publish() { # release number
    if [ "$1" = 1 ]; then
        head -c 300000 /dev/urandom >"$work/release/app/a.dll"
    else
        printf 'release 2' | dd of="$work/release/app/a.dll" bs=1 seek=150000 conv=notrunc 2>/dev/null
    fi
    cp "$work/release/app/a.dll" "$work/release$1.a.dll"
    "$tavpublish" build --blocks --store "$work/origin" --key "$work/key.pem" "$work/listing" \
        "$work/release" "$work/origin/TavUpdate.ver" >/dev/null
}
pass() { # name
    local code=0
    "$root/cmake/wine-run" --prefix "$build/wineprefix" "$build/bin/TavUpdate.exe" \
        "$(win "$work/pass.ini")" >/dev/null 2>&1 || code=$?
    [ $code = 0 ] || fail "$1: exit code $code (a refused list or release)"
}
edge_serial() { curl -s --noproxy '*' "http://127.0.0.1:$edge_port/TavUpdate.ver" | sed -n 's/^;serial=\([0-9]*\).*/\1/p'; }

head -c 200000 /dev/urandom >"$work/release/app/data.bin"
publish 1
pass "first pass"
cmp -s "$work/local/a.dll" "$work/release1.a.dll" || fail "release 1 not installed"

edge_serial >/dev/null # the edge has the list of release 1 for the next seconds
pass "pass during the publish" &
running=$!
publish 2
[ "$(edge_serial)" = 1 ] || fail "the edge did not serve the cached list of release 1"
wait $running || exit 1
for _ in $(seq 60); do
    [ "$(edge_serial)" = 2 ] && break
    sleep 0.5
done
[ "$(edge_serial)" = 2 ] || fail "the edge never served the list of release 2"
(wine_env "$build/wineprefix" &&
    "$wine_loader" reg add 'HKLM\SOFTWARE\Tav\TavUpdate' /v TraceLevel /t REG_DWORD /d 3 /f /reg:32 &&
    "$wine_loader" reg add 'HKLM\SOFTWARE\Tav\TavUpdate' /v TraceFile /t REG_SZ \
        /d "$(win "$work/pass.log")" /f /reg:32) >/dev/null 2>&1
pass "pass once the list's cache time has passed"
grep -q "/a.dll by its block map : " "$work/pass.log" ||
    fail "release 2's a.dll not received by its block map through the edge"
cmp -s "$work/local/a.dll" "$work/release2.a.dll" || fail "release 2 not installed"
cmp -s "$work/local/data.bin" "$work/release/app/data.bin" || fail "data.bin not installed"
echo "cdn: a stored release behind the edge installed whole (by its block maps), never refused"
