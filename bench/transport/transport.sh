#!/usr/bin/env bash
# Cost of a no-op pass by transport: TavUpdate.exe over 40 and over 200
# current modules in one folder, time-listed (a time query per module), from
# vsftpd (FTP, in its default configuration) and from nginx (HTTP), the same
# files on both. Each pass is timed from outside as a whole process under
# Wine; the median of the runs counts. Goal: FTP at most 1.5 times HTTP.
# Every module's local copy is a hard link of the served file: same bytes,
# same time, so every pass finds every module current.
#   bench/transport/transport.sh   (BENCH_BUILD=folder to build elsewhere,
#                                   BENCH_RUNS=n runs of each pass, default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/cmake/shell-helpers.sh"
runs=${BENCH_RUNS:-3}

bench_begin transport TavUpdate

mkdir -p "$work/www/mods" "$work/local"
for i in $(seq -w 1 200); do
    head -c 1024 /dev/urandom >"$work/www/mods/m$i.bin"
    ln "$work/www/mods/m$i.bin" "$work/local/m$i.bin"
done
for count in 40 200; do
    for i in $(seq -w 1 200 | head -n $count); do
        printf '%s | /mods/m%s.bin\r\n' "$(win "$work/local/m$i.bin")" "$i"
    done >"$work/www/list$count.ver"
done

bench_servers "$work/www"
http_port=$nginx_port
# vsftpd as Debian builds it, anonymous, serving the same folder.
ftp_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/vsftpd/empty"
cat >"$work/vsftpd/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$ftp_port
background=NO
anonymous_enable=YES
local_enable=NO
anon_root=$work/www
secure_chroot_dir=$work/vsftpd/empty
CONF
chmod 755 "$work" "$work/www" "$work/www/mods"
setsid vsftpd "$work/vsftpd/vsftpd.conf" &
vsftpd_pid=$!
trap 'kill -- -$vsftpd_pid 2>/dev/null || true; bench_end' EXIT
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$ftp_port") 2>/dev/null && break
    sleep 0.05
done

for count in 40 200; do
    for protocol in FTP HTTP; do
        port=$http_port
        [ $protocol = FTP ] && port=$ftp_port
        bench_config "$work/$protocol$count.ini" "$protocol" "$port" "/list$count.ver" \
            "$(win "$work/$protocol$count.ver")"
    done
done

declare -A secs
echo "bench: $runs runs of each pass"
for count in 40 200; do
    for protocol in FTP HTTP; do
        times=()
        for _ in $(seq "$runs"); do
            start=$(date +%s.%N)
            "$wine_loader" "$build/bin/TavUpdate.exe" "$(win "$work/$protocol$count.ini")" >/dev/null 2>&1 || true
            end=$(date +%s.%N)
            times+=("$(python3 -c "print('%.3f' % ($end - $start))")")
        done
        secs[$protocol$count]=$(median "${times[@]}")
        echo "  $protocol, $count modules: ${times[*]} s"
    done
done
# A module fetched would be a new file, no longer the server's link.
for f in "$work"/local/*.bin; do
    [ "$f" -ef "$work/www/mods/${f##*/}" ] || { echo "bench: $f was fetched" >&2; exit 1; }
done

printf "%-12s %10s %10s %10s\n" modules FTP_s HTTP_s FTP/HTTP
for count in 40 200; do
    printf "%-12s %10s %10s %10s\n" "$count" "${secs[FTP$count]}" "${secs[HTTP$count]}" \
        "$(python3 -c "print('%.2f' % (${secs[FTP$count]} / ${secs[HTTP$count]}))")"
done
