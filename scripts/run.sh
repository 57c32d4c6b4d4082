#!/usr/bin/env bash
# Runs the system: builds what is missing or stale (Release, in build/run), starts
# qmx-server on the embedded demo database when no server answers on the
# address, and starts qmx-host with the screen "Estrutura do DW" open.
#
#   bash scripts/run.sh [--server HOST:PORTA] [--vnc[=PORTA]] [--qt-vnc[=PORTA]] [--xvfb]
#
# The address is --server, else $QMX_SERVER, else 127.0.0.1:2160. A server
# this script started is stopped when the host ends. Without a display
# ($DISPLAY and $WAYLAND_DISPLAY empty) the host runs inside Xvfb and is
# shown by x11vnc on 127.0.0.1 only (port 5900 unless given; --vnc asks for
# it on any machine). --qt-vnc uses Qt's own VNC platform instead, which in
# this Qt version listens on every interface. --xvfb runs without a viewer.
set -euo pipefail
cd "$(dirname "$0")/.."

server="${QMX_SERVER:-127.0.0.1:2160}"
mode=""
vnc_port=5900
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server="${2:?--server pede HOST:PORTA}"; shift 2 ;;
    --server=*) server="${1#*=}"; shift ;;
    --vnc) mode=vnc; shift ;;
    --vnc=*) mode=vnc; vnc_port="${1#*=}"; shift ;;
    --qt-vnc) mode=qt-vnc; shift ;;
    --qt-vnc=*) mode=qt-vnc; vnc_port="${1#*=}"; shift ;;
    --xvfb) mode=xvfb; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: opção desconhecida: $1 (veja --help)" >&2; exit 2 ;;
  esac
done

host="${server%:*}"
port="${server##*:}"
host="${host#[}"; host="${host%]}"
if [ -z "$host" ] || ! [[ "$port" =~ ^[0-9]+$ ]]; then
  echo "run.sh: endereço do servidor inválido: '$server' (esperado HOST:PORTA)" >&2
  exit 2
fi

build=build/run
bin="$build/bin"
# An incremental build: nothing to do when everything is up to date, and a
# package never runs against platform libraries newer than itself.
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "== configurando (Release) em $build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQMX_BENCH=OFF >/dev/null
fi
echo "== compilando o que falta em $build"
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target qmx-host qmx-server PKG_QMX00600 \
  | grep -Ev '^\[ *[0-9]+%\] (Built target|Automatic MOC)' || true

# Whether something accepts connections on the address (within 2 seconds).
answers() { timeout 2 bash -c 'exec 3<>"/dev/tcp/$0/$1"' "$host" "$port" 2>/dev/null; }

server_pid=""
xvfb_pid=""
vnc_pid=""
cleanup() {
  for pid in "$vnc_pid" "$xvfb_pid" "$server_pid"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
}
trap cleanup EXIT INT TERM

if answers; then
  echo "== servidor já responde em $host:$port"
else
  case "$host" in
    127.*|localhost|::1) ;;
    *) echo "run.sh: nenhum servidor responde em $host:$port; este script só inicia um servidor local." >&2
       exit 1 ;;
  esac
  echo "== iniciando qmx-server em $server (banco de demonstração)"
  "$bin/qmx-server" --listen "$server" &
  server_pid=$!
  for _ in $(seq 1 50); do
    answers && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "run.sh: qmx-server terminou sem atender em $server" >&2
      exit 1
    fi
    sleep 0.2
  done
  answers || { echo "run.sh: qmx-server não atendeu em $server" >&2; exit 1; }
fi

host_cmd=("$bin/qmx-host" --server "$server" --open QMX00600)
if [ -z "$mode" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] &&
   [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Esta máquina não tem tela (DISPLAY e WAYLAND_DISPLAY estão vazios)."
  echo "O host vai rodar num Xvfb e ser mostrado por VNC, só em loopback."
  mode=vnc
fi

# Starts Xvfb on a free display number and sets DISPLAY.
start_xvfb() {
  command -v Xvfb >/dev/null || { echo "run.sh: Xvfb não está instalado (pacote xvfb)" >&2; exit 1; }
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  export DISPLAY=":$n"
  unset WAYLAND_DISPLAY
}

case "$mode" in
  vnc)
    if ! command -v x11vnc >/dev/null; then
      echo "run.sh: x11vnc não está instalado (bash scripts/install-deps.sh, ou apt-get install x11vnc)." >&2
      echo "        Alternativa: bash scripts/run.sh --qt-vnc (o VNC do Qt escuta em todas as interfaces)." >&2
      exit 1
    fi
    start_xvfb
    x11vnc -display "$DISPLAY" -localhost -rfbport "$vnc_port" -forever -shared -nopw -quiet \
      >/dev/null 2>&1 &
    vnc_pid=$!
    echo "== conecte um cliente VNC a 127.0.0.1:$vnc_port (por exemplo: vncviewer 127.0.0.1::$vnc_port;"
    echo "   de outra máquina: ssh -L $vnc_port:127.0.0.1:$vnc_port esta-maquina). Ctrl+C encerra."
    QT_QPA_PLATFORM=xcb "${host_cmd[@]}"
    ;;
  qt-vnc)
    echo "== atenção: o VNC do Qt escuta a porta $vnc_port em todas as interfaces desta máquina."
    echo "== conecte um cliente VNC a 127.0.0.1:$vnc_port. Ctrl+C encerra."
    "${host_cmd[@]}" -platform "vnc:port=$vnc_port:size=1024x720"
    ;;
  xvfb)
    start_xvfb
    echo "== host dentro do Xvfb ($DISPLAY, sem visualizador; use --vnc para ver). Ctrl+C encerra."
    QT_QPA_PLATFORM=xcb "${host_cmd[@]}"
    ;;
  *)
    "${host_cmd[@]}"
    ;;
esac
