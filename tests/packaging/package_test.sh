#!/usr/bin/env bash
# The deployment packages end to end: refused settings, the CAB, signatures (a
# throw-away certificate), then packaging_install_test.exe with the MSI.
#   package_test.sh BUILD   (the i686 Windows test build)
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"

scratch=$(mktemp -d /tmp/tav-package.XXXXXX)
nginx_pid=""
trap '[ -z "$nginx_pid" ] || kill "$nginx_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAILED: $*"
    failed=1
}
package() {
    "$root/scripts/package" --binaries "$build/bin" --server 127.0.0.1 \
        --remote-version-file /version.txt "$@"
}

# Settings the updater or the control would not take: refused with the
# reason, nothing written.
for c in "--protocol gopher|Protocol: \"gopher\" is neither FTP nor HTTP" \
    "--port 65536|Remote Port: \"65536\" is not a port" \
    "--signing-key bm90IGEga2V5|Signing Key: not a DER public key" \
    "--allowed-site https://*.com|allowed site \"https://*.com\": not an entry the control accepts" \
    "--unsigned-updates|no --allowed-site:" "--any-site|no --signing-key:" \
    "--schedule 24:00|--schedule: \"24:00\" is not HH:MM[,H]"; do
    read -r -a args <<<"${c%%|*}"
    if out=$(package --local-version-file 'C:\Tav\version.txt' "${args[@]}" \
        --out "$scratch/refused" 2>&1); then
        fail "${c%%|*}: accepted"
    fi
    [[ $out == *"${c#*|}"* ]] || fail "${c%%|*}: said \"$out\""
    [ ! -e "$scratch/refused" ] || fail "${c%%|*}: wrote $scratch/refused"
done

# Two packages of the same binaries: A signed with key, sites, a trace level
# and the scheduled task, B as open as a package can be.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tav Package Test" \
    -addext extendedKeyUsage=codeSigning \
    -keyout "$scratch/signer.key" -out "$scratch/signer.pem" 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$scratch/list.key" 2>/dev/null
signing_key=$(openssl pkey -in "$scratch/list.key" -pubout -outform DER | base64 -w0)
mkdir -p "$scratch/web"
start_nginx "$scratch/nginx" "$scratch/web"
package --protocol HTTP --port "$nginx_port" --login 관리자 --password "비밀 번호" \
    --local-version-file 'C:\Tav\version.txt' \
    --default-exec-file 'C:\Program Files\OmbletPlus\ombletplus.exe' \
    --signing-key "$signing_key" \
    --allowed-site https://portal.example.com --allowed-site 'https://*.example.org:8443' \
    --trace-level 3 --schedule 04:30,2 \
    --cert "$scratch/signer.pem" --cert-key "$scratch/signer.key" \
    --publisher-url https://tav.example.com/ --out "$scratch/a" >/dev/null
said=$(package --protocol http --port "$nginx_port" --any-site --unsigned-updates \
    --local-version-file "$(win "$scratch/list.txt")" --out "$scratch/b")
[[ $said == *"unsigned: no --cert given"* ]] || fail "an unsigned package was not named so: $said"

# The CAB holds exactly the control and its INF.
listing=$(gcab -t "$scratch/a/TavWebOmblet.cab" | sort | tr '\n' ' ')
[ "$listing" = "TavWebOmblet.inf TavWebOmblet.ocx " ] || fail "CAB lists: $listing"

# Every signed file verifies against the certificate; a changed byte does not.
mkdir -p "$scratch/msi" "$scratch/cab"
msiextract -C "$scratch/msi" "$scratch/a/TavSetup.msi" >/dev/null
(cd "$scratch/cab" && gcab -x "$scratch/a/TavWebOmblet.cab")
verify() { osslsigncode verify -CAfile "$scratch/signer.pem" -in "$1" >/dev/null 2>&1; }
for f in a/TavSetup.msi a/TavWebOmblet.cab msi/TavUpdate.exe msi/TavWebOmblet.ocx \
    cab/TavWebOmblet.ocx; do
    verify "$scratch/$f" || fail "$f: signature not accepted"
done
cp "$scratch/msi/TavUpdate.exe" "$scratch/changed.exe"
printf '\x5a' | dd of="$scratch/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
cmp -s "$scratch/msi/TavUpdate.exe" "$scratch/changed.exe" && fail "the byte did not change"
! verify "$scratch/changed.exe" || fail "a changed file still verifies"

# The real installer.
TAV_PACKAGE_A=$(win "$scratch/a/TavSetup.msi") \
    TAV_PACKAGE_B=$(win "$scratch/b/TavSetup.msi") \
    TAV_PACKAGE_PORT=$nginx_port TAV_PACKAGE_WEB=$(win "$scratch/web") \
    TAV_PACKAGE_KEY=$signing_key TAV_PACKAGE_INF=$(win "$scratch/cab/TavWebOmblet.inf") \
    "$root/cmake/wine-run" --prefix "$build/wineprefix" "$build/bin/packaging_install_test.exe" ||
    fail "packaging_install_test"

[ $failed = 0 ] && echo "packaging: all passed"
exit $failed
