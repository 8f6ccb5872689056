# Sourced by the benchmark scripts: starts nginx as the download yardstick.
# Usage: start_nginx_yardstick WORK_DIR ADDRESS PORT ROOT
# Sets nginx_conf, so the caller's exit trap can stop it with `nginx -c "$nginx_conf" -s stop`.
start_nginx_yardstick() {
  local work="$1" address="$2" port="$3" root="$4"
  nginx_conf="$work/nginx.conf"
  mkdir -p "$work/nginx-tmp"
  cat >"$nginx_conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx-tmp;
  proxy_temp_path $work/nginx-tmp;
  fastcgi_temp_path $work/nginx-tmp;
  uwsgi_temp_path $work/nginx-tmp;
  scgi_temp_path $work/nginx-tmp;
  server { listen $address:$port; root $root; }
}
CONF
  nginx -c "$nginx_conf"
}
