#!/bin/sh
# Debian's nginx serving a folder on 127.0.0.1 for the release tests, as a real web server would
# serve a publisher's site: http on PORT, https on PORT+1 with the test CA's "localhost"
# certificate (scripts/setup.sh). The configuration, pid, logs and temporary files are the test
# run's own; the system's nginx service is never used.
#
#   nginx_site.sh start STATE ROOT PORT TLS_DIR
#   nginx_site.sh stop STATE
set -eu
nginx=/usr/sbin/nginx

stop() {
    [ -f "$1/nginx.pid" ] || return 0
    pid=$(cat "$1/nginx.pid")
    kill -QUIT "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
    rm -f "$1/nginx.pid"
}

case $1 in
start)
    state=$2 root=$3 port=$4 tls=$5
    stop "$state"
    mkdir -p "$state" "$root"
    # As root, nginx hands requests to workers running as nobody, who may not read the build tree.
    user=""
    [ "$(id -u)" -ne 0 ] || user="user root;"
    cat >"$state/nginx.conf" <<CONF
$user
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log;
events { worker_connections 64; }
http {
    access_log $state/access.log;
    client_body_temp_path $state/client_body;
    proxy_temp_path $state/proxy;
    fastcgi_temp_path $state/fastcgi;
    uwsgi_temp_path $state/uwsgi;
    scgi_temp_path $state/scgi;
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$port;
        listen 127.0.0.1:$((port + 1)) ssl;
        ssl_certificate $tls/server.crt;
        ssl_certificate_key $tls/server.key;
        root $root;
    }
}
CONF
    "$nginx" -e "$state/error.log" -p "$state" -c "$state/nginx.conf"
    ;;
stop)
    stop "$2"
    ;;
*)
    echo "usage: nginx_site.sh start STATE ROOT PORT TLS_DIR | stop STATE" >&2
    exit 2
    ;;
esac
