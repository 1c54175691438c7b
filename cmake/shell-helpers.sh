# Shared by the test runner, the demo and the benchmarks (sourced, not run).

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
