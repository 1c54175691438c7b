# Shared by the test runner, the demo and the benchmarks (sourced, not run).

# The Windows build this machine runs (scripts/setup decided): i686 under a
# WoW64 prefix, or x86_64 where no 32-bit program starts. Sets windows_arch,
# windows_reason and windows_build (the build folder that holds its programs).
read_windows_arch() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    windows_arch=$(sed -n 1p "$root/build/windows-arch")
    windows_reason=$(sed -n 2p "$root/build/windows-arch")
    case $windows_arch in
    i686) windows_build=$root/build/win32 ;;
    x86_64) windows_build=$root/build/win64 ;;
    *) echo "build/windows-arch is missing: run scripts/setup" >&2; return 1 ;;
    esac
}

# Configures the native build (build/native: the pure logic under the
# sanitizers, and tavpublish).
configure_native_build() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
}

# Configures the native build and builds tavpublish in it. Sets tavpublish
# (the program's path).
build_tavpublish() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    configure_native_build
    cmake --build "$root/build/native" --target tavpublish >/dev/null
    tavpublish=$root/build/native/bin/tavpublish
}

# Configures the Windows build folder given (default: windows_build) for
# windows_arch, with the shipped build's flags and the tests.
configure_windows_build() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    cmake -S "$root" -B "${1:-$windows_build}" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw.cmake" -DTAV_ARCH="$windows_arch" >/dev/null
}

# The Wine environment every run uses: a 64-bit prefix (32-bit programs run in
# it through WoW64), code page 949, no Mono or Gecko. Sets wine_loader, the
# command that starts a Windows program (wine_loader program.exe args...):
# for the x86_64 build the 64-bit loader itself, since the wine wrapper picks
# the 32-bit loader wherever wine32 is installed, also where the kernel
# refuses to start it; for the i686 build the wrapper, which starts WoW64.
wine_env() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export LC_ALL=ko_KR.UTF-8
    read_windows_arch || return 1
    if [ "$windows_arch" = x86_64 ]; then
        wine_loader=/usr/lib/wine/wine64
        # Processes a program starts come up under the same loader.
        export WINELOADER=$wine_loader
    else
        wine_loader=wine
    fi
}

# Wine has no shell window, and an elevated pass starts its programs only
# with the token of the shell's user: a stand-in shell, running as the
# desktop's user does, for the prefix of wine_env. Built with the tests in
# the Windows build folder given; returns once its window is there.
start_stand_in_shell() {
    local shell=$1/bin/app_fixture_shell.exe
    [ -f "$shell" ] || return 0
    "$wine_loader" "$shell" </dev/null >/dev/null 2>&1 ||
        echo "no stand-in shell: programs of elevated passes will not start" >&2
}

# When no display is set, starts Xvfb on a free display number and exports
# DISPLAY. Sets xvfb_pid (empty when a display was already there).
start_xvfb() {
    xvfb_pid=""
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        return 0
    done
    echo "no free display number for Xvfb" >&2
    return 1
}

# start_nginx DIR ROOT [ACCESS_LOG] [SERVER_LINES]: nginx on 127.0.0.1 and a
# free port serving ROOT, its files kept in DIR; ready on return. Sets
# nginx_pid and nginx_port.
start_nginx() {
    local dir=$1 root=$2 log=${3:-off} extra=${4:-}
    mkdir -p "$dir"
    nginx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
    access_log $log;
    client_body_temp_path $dir/body;
    proxy_temp_path $dir/proxy;
    fastcgi_temp_path $dir/fastcgi;
    uwsgi_temp_path $dir/uwsgi;
    scgi_temp_path $dir/scgi;
    default_type application/octet-stream;
    sendfile on;
    server {
        listen 127.0.0.1:$nginx_port;
        root $root;
        $extra
    }
}
CONF
    nginx -p "$dir" -c "$dir/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "nginx did not start" >&2
    return 1
}

# start_edge DIR PORT ORIGIN_PORT LIST_SECONDS: a caching edge (varnish) on
# 127.0.0.1:PORT in front of the origin, with the cache rules of a stored
# release: version lists (".ver") and their signatures for LIST_SECONDS, no
# stale copy served after; everything else for a year. DIR must be readable by
# varnish's own user. Sets edge_pid; ready on return.
start_edge() {
    local dir=$1 port=$2 origin=$3 ttl=$4
    mkdir -p "$dir"
    chmod 755 "$dir"
    cat >"$dir/edge.vcl" <<VCL
vcl 4.1;
backend origin { .host = "127.0.0.1"; .port = "$origin"; }
sub vcl_backend_response {
    if (bereq.url ~ "\\.ver(\\.sig)?\$") {
        set beresp.ttl = ${ttl}s;
        set beresp.grace = 0s;
    } else {
        set beresp.ttl = 365d;
    }
}
VCL
    /usr/sbin/varnishd -F -a "127.0.0.1:$port" -f "$dir/edge.vcl" -n "$dir/state" \
        -s malloc,256m >"$dir/varnishd.log" 2>&1 &
    edge_pid=$!
    for _ in $(seq 200); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "varnish did not start: $(cat "$dir/varnishd.log")" >&2
    return 1
}

# win PATH: the Unix path as a program under Wine names it (Z:\...).
win() { echo "Z:${1//\//\\}"; }

# bench_config FILE PROTOCOL PORT REMOTE_LIST LOCAL_LIST [SIGNING_KEY]: the
# INI file a benchmark's pass reads, ending by starting a small system
# program so that no box waits.
bench_config() {
    local key=""
    [ -z "${6:-}" ] || key="Signing Key=$6\r\n"
    printf '[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=%s\r\nRemote Port=%s\r\nRemote Version File=%s\r\n%b[LOCAL]\r\nLocal Version File=%s\r\nDefault Exec File=C:\\windows\\system32\\hostname.exe\r\n' \
        "$2" "$3" "$4" "$key" "$5" >"$1"
}

# median NUMBER...: the middle one (the lower middle of an even count).
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

# bench_begin NAME TARGET...: for the benchmarks. Builds the targets in the
# Windows build this machine runs (or BENCH_BUILD), sets build, and makes a
# scratch folder work; the folder, the benchmark's nginx and Xvfb (nginx_pid,
# xvfb_pid) and its wineserver go when the script ends.
bench_begin() {
    local name=$1
    shift
    read_windows_arch
    build=${BENCH_BUILD:-$windows_build}
    echo "bench: $windows_arch build ($windows_reason)"
    configure_windows_build "$build"
    cmake --build "$build" --target "$@" >/dev/null
    work=$(mktemp -d "/tmp/tav-bench-$name.XXXXXX")
    nginx_pid=""
    xvfb_pid=""
    trap bench_end EXIT
}

# bench_servers ROOT [ACCESS_LOG] [SERVER_LINES]: what every benchmark's runs
# stand on: nginx serving ROOT (its files in work/nginx; sets nginx_port), a
# display, and the Wine prefix of the build with one wineserver kept running,
# so no timed run pays for starting Wine.
bench_servers() {
    start_nginx "$work/nginx" "$@"
    start_xvfb
    wine_env "$build/wineprefix"
    "$(dirname "${BASH_SOURCE[0]}")/wine-prefix" "$WINEPREFIX"
    wineserver -p60 2>/dev/null || true # the benchmark that runs this one keeps one already
}

bench_end() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
    WINEPREFIX=$build/wineprefix wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
