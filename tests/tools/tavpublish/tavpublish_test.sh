#!/usr/bin/env bash
# The publisher's round trip, keygen -> build -> verify, with openssl's own
# check of the signature against the printed "Signing Key" value (the format
# the updater checks), the list path, expiry and sizes a list names, and verify
# naming a module changed after the build, one local file listed twice, and
# the modules' block maps.
#   tavpublish_test.sh path/to/tavpublish
set -euo pipefail
tool=$1
work=$(mktemp -d /tmp/tav-publish-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p www/app
printf 'library' >www/app/a.dll
head -c 300000 /dev/urandom >www/app/client.exe
printf '; what ships\r\nC:\\App\\a.dll | /app/a.dll | R\r\nC:\\App\\client.exe | /app/client.exe\r\n' >listing

"$tool" keygen key.pem >keygen.out
value=$(sed -n 's/^Signing Key=//p' keygen.out)
[ -n "$value" ] || fail "keygen printed no Signing Key line"
"$tool" build --key key.pem listing www www/TavUpdate.ver
"$tool" build --key key.pem listing www www/TavUpdate.ver # the next serial
grep -qx ';serial=2.' www/TavUpdate.ver || fail "second build did not write serial 2"
"$tool" verify --key "$value" www/TavUpdate.ver www || fail "verify refused a fresh list"

# Faults: a list that names no list path, no expiry or no sizes (signing
# updaters skip its lines or refuse it), or one built for another path passing.
grep -q '^;list=/TavUpdate.ver.$' www/TavUpdate.ver || fail "no ;list= line for the list's own path"
grep -q '^;expires=20[0-9-]*T[0-9:]*Z.$' www/TavUpdate.ver || fail "no ;expires= line"
grep -q 'a.dll | R | sha256=[0-9a-f]* | size=7.$' www/TavUpdate.ver || fail "no size= field"
if "$tool" verify --list-path /beta/TavUpdate.ver www/TavUpdate.ver www >verify.out; then
    fail "verify passed a list built for another list path"
fi
grep -q 'built for list path /TavUpdate.ver' verify.out || fail "verify did not name the list path"
if "$tool" build listing www elsewhere.ver 2>/dev/null; then
    fail "build wrote a list outside the server folder without --list-path"
fi

# Faults: a signature in another format than openssl's, or over other bytes.
echo "$value" | base64 -d | openssl pkey -pubin -inform DER -out pub.pem
openssl dgst -sha256 -verify pub.pem -signature www/TavUpdate.ver.sig www/TavUpdate.ver >/dev/null ||
    fail "openssl does not verify the signature with the Signing Key value"

# Fault: a module changed after the build passing, or not named.
printf 'changed' >www/app/a.dll
if "$tool" verify --key pub.pem www/TavUpdate.ver www >verify.out; then
    fail "verify passed a changed module"
fi
grep -q '/app/a.dll: SHA-256 is' verify.out || fail "verify did not name the changed module: $(cat verify.out)"
grep -q 'client.exe' verify.out && fail "verify blamed an unchanged module: $(cat verify.out)"

# Names in any language: a UTF-8 listing, a list in code page 949 (what the
# updater reads), server files found by their UTF-8 names, percent escapes
# too. Faults: the listing's bytes copied as they are, an escaped path not
# found, a character code page 949 lacks written all the same.
mkdir -p www/한글
printf 'k' >'www/한글/모듈 1.dll'
printf 'C:\\App\\모듈.dll | /한글/모듈 1.dll\r\nC:\\App\\b.dll | /%%ED%%95%%9C%%EA%%B8%%80/%%EB%%AA%%A8%%EB%%93%%88%%201.dll\r\n' >names
"$tool" build --list-path /names.ver names www names.ver >/dev/null
iconv -f CP949 -t UTF-8 names.ver | grep -qF 'C:\App\모듈.dll | /한글/모듈 1.dll | - | sha256=' ||
    fail "the list is not the listing in code page 949: $(cat names.ver)"
"$tool" verify --list-path /names.ver names.ver www >/dev/null || fail "verify did not find the files by their names"
# Faults: a list path the updater's INI gives in code page 949 written in
# UTF-8 (never matched), names shown on the terminal in code page 949.
"$tool" build --list-path /한글/목록.ver names www korean.ver >/dev/null
LC_ALL=C grep -q "^;list=$(printf '/한글/목록.ver' | iconv -t CP949).\$" korean.ver ||
    fail "the list path is not in code page 949"
"$tool" verify --list-path /한글/목록.ver korean.ver www >/dev/null || fail "verify refused its list path"
printf 'C:\\App\\없음.dll | /한글/없음.dll\r\n' >missing
"$tool" build --list-path /missing.ver missing www missing.ver 2>build.err && fail "built a missing file"
grep -qF '/한글/없음.dll: no file www/한글/없음.dll' build.err || fail "the missing file not named in UTF-8: $(cat build.err)"
printf 'C:\\App\\\xF0\x9F\x98\x80.dll | /app/a.dll\r\n' >lacking
if "$tool" build lacking www lacking.ver 2>/dev/null || [ -e lacking.ver ]; then
    fail "a character code page 949 lacks was written"
fi
# Fault: one local file listed twice (letter case, "/", "." and ".." aside),
# which would install two modules into one file.
printf 'C:\\App\\a.dll | /app/a.dll\r\nc:/app/./x/../A.DLL | /app/client.exe\r\n' >twice
if "$tool" build --list-path /twice.ver twice www twice.ver 2>/dev/null || [ -e twice.ver ]; then
    fail "build took one local file twice"
fi
(cat names.ver && LC_ALL=C grep -a sha256= names.ver | LC_ALL=C sed 's/^C:/c:/') >twice.ver
if "$tool" verify --list-path /names.ver twice.ver www >verify.out; then
    fail "verify passed one local file listed twice"
fi
grep -q 'is the local file of line 5 too' verify.out || fail "verify did not name the repeat: $(cat verify.out)"
# Stored releases: three builds with --store (the third announcing the next
# key), one module the same throughout, then prune --keep 2. Faults: a module
# a kept list names deleted (also by a prune of a mistyped list), one no kept
# list names left behind, a file the store did not write touched, the next
# key in another form than the INI's "Signing Key" value.
mkdir -p rel/app store
printf 'same' >rel/app/same.dll
printf 'not stored' >store/index.html
printf 'C:\\App\\v.dll | /app/v.dll\r\nC:\\App\\same.dll | /app/same.dll\r\n' >stored
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out next.pem 2>/dev/null
next=$(openssl pkey -in next.pem -pubout -outform DER | base64 -w0)
for v in 1 2 3; do
    printf 'v%s' $v >rel/app/v.dll
    "$tool" build --store store --key key.pem $([ $v != 3 ] || echo --next-key next.pem) \
        stored rel store/TavUpdate.ver >/dev/null
done
grep -qx ";next-key=$next." store/TavUpdate.ver || fail "the next key is not its Signing Key value"
"$tool" verify --key key.pem store/TavUpdate.ver store >/dev/null || fail "verify refused a stored release"
"$tool" prune --keep 2 store/TavUpdat.ver store 2>/dev/null || true # mistyped: names nothing
"$tool" prune --keep 2 store/TavUpdate.ver store >/dev/null
named=$(LC_ALL=C sed -n 's/^[^|]*| \([^ ]*\) |.*/\1/p' store/TavUpdate.ver.[23] | sort -u)
have=$(cd store && find . -type f | sed 's/^\.//' | { grep -E '/[0-9a-f]{64}/[^/]+$' || true; } | sort)
[ "$named" = "$have" ] || fail "prune kept $have; the newest two lists name $named"
[ -e store/index.html ] || fail "prune deleted a file the store did not write"
# Fault: a damaged kept list taken for one that names nothing, and the
# modules and lists the damage hides deleted.
printf 'garbage' >store/TavUpdate.ver.3
before=$(cd store && find . | sort)
if "$tool" prune --keep 1 store/TavUpdate.ver store >prune.out 2>&1; then
    fail "prune went ahead past a damaged kept list"
fi
grep -q 'TavUpdate.ver.3: not a signed list' prune.out || fail "prune did not name the damaged list: $(cat prune.out)"
[ "$(cd store && find . | sort)" = "$before" ] || fail "prune deleted files past a damaged kept list"
# Block maps. Faults: a chunk's digest not that of its bytes (checked with
# sha256sum), chunks that do not cover the module, a map the line does not
# name with its digest, an older reader taking the fields for the options, a
# changed map passing verify, a stored map no kept list names left behind or
# a named one deleted, a line longer than the updater's chunk written.
mkdir -p bw/app && head -c 1000000 /dev/urandom >bw/app/m.exe
printf 'C:\\App\\m.exe | /app/m.exe | E\r\n' >blocks
"$tool" build --blocks --list-path /b.ver blocks bw b.ver >/dev/null
map=bw/app/m.exe.blocks
LC_ALL=C grep -q "| E | sha256=[0-9a-f]* | size=1000000 | blocks=/app/m.exe.blocks | blocks-sha256=$(sha256sum <$map | cut -c1-64).\$" b.ver ||
    fail "the line does not name the map with its digest: $(cat b.ver)"
head -1 $map | grep -qx 'tav-blockmap 1 gear min=16384 avg=65536 max=262144 size=1000000 chunks=[0-9]*' ||
    fail "not a map header: $(head -1 $map)"
next=0
while read -r offset length digest; do
    [ "$offset" = $next ] || fail "chunk at $offset, expected $next"
    [ "$(tail -c +$((offset + 1)) bw/app/m.exe | head -c "$length" | sha256sum | cut -c1-64)" = "$digest" ] ||
        fail "chunk at $offset: its digest is not its bytes'"
    next=$((offset + length))
done < <(tail -n +2 $map)
[ $next = 1000000 ] || fail "the chunks cover $next bytes"
"$tool" verify --list-path /b.ver b.ver bw >/dev/null || fail "verify refused a list with block maps"
printf 'x' >>$map
"$tool" verify --list-path /b.ver b.ver bw >verify.out && fail "verify passed a changed map"
grep -q '/app/m.exe.blocks: SHA-256 is' verify.out || fail "verify did not name the map: $(cat verify.out)"
mkdir -p bs && for v in 1 2; do
    printf 'v%s' $v >>bw/app/m.exe
    "$tool" build --blocks --store bs blocks bw bs/b.ver >/dev/null
done
"$tool" verify bs/b.ver bs >/dev/null || fail "verify refused a stored release with block maps"
"$tool" prune --keep 1 bs/b.ver bs >/dev/null
named=$(LC_ALL=C sed -n 's/^[^|]*| \([^ ]*\) |.*blocks=\([^ ]*\) |.*/\1\n\2/p' bs/b.ver | sort)
[ "$named" = "$(cd bs && find . -type f -path '*/app/*' | sed 's/^\.//' | sort)" ] ||
    fail "prune left $(cd bs && find . -path '*/app/*'); the list names $named"
long=$(printf 'd%.0s' $(seq 200))/$(printf 'e%.0s' $(seq 250))
mkdir -p "bw/$long" && printf 'l' >"bw/$long/l.dll"
printf 'C:\\l.dll | /%s/l.dll\r\n' "$long" >longline
"$tool" build --list-path /l.ver longline bw l.ver >/dev/null || fail "a line within the bound refused"
"$tool" build --blocks --list-path /l.ver longline bw l.ver 2>build.err && fail "a line too long for the updater written"
grep -q 'the updater reads 1021 at most' build.err || fail "the long line not named: $(cat build.err)"
echo "tavpublish round trip OK"
