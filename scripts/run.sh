#!/usr/bin/env bash
# Runs the system: builds what is missing (Release, in build/run), starts
# qmx-server on the embedded demo database when no server answers on the
# address, and starts qmx-host with the screen "Estrutura do DW" open.
#
#   bash scripts/run.sh [--server HOST:PORTA] [--vnc[=PORTA]] [--xvfb]
#
# The address is --server, else $QMX_SERVER, else 127.0.0.1:2160. A server
# this script started is stopped when the host ends. Without a display
# ($DISPLAY and $WAYLAND_DISPLAY empty) the host is shown through Qt's VNC
# platform on 127.0.0.1 (port 5900 unless given), or inside Xvfb with --xvfb.
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
    --xvfb) mode=xvfb; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
if [ ! -x "$bin/qmx-host" ] || [ ! -x "$bin/qmx-server" ] || [ ! -f "$build/lib/PKG_QMX00600.so" ]; then
  echo "== compilando (Release) em $build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQMX_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target qmx-host qmx-server PKG_QMX00600
fi

answers() { (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null; }

server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
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
  echo "O host será mostrado por VNC, só em loopback. Para usar Xvfb: bash scripts/run.sh --xvfb"
  mode=vnc
fi
case "$mode" in
  vnc)
    echo "== conecte um cliente VNC a 127.0.0.1:$vnc_port (por exemplo: vncviewer 127.0.0.1::$vnc_port;"
    echo "   de outra máquina: ssh -L $vnc_port:127.0.0.1:$vnc_port esta-maquina). Ctrl+C encerra."
    "${host_cmd[@]}" -platform "vnc:addr=127.0.0.1:port=$vnc_port:size=1024x720"
    ;;
  xvfb)
    command -v xvfb-run >/dev/null || { echo "run.sh: xvfb-run não está instalado" >&2; exit 1; }
    echo "== host dentro do Xvfb (sem janela visível; use --vnc para ver)"
    xvfb-run -a -s "-screen 0 1024x720x24" "${host_cmd[@]}"
    ;;
  *)
    "${host_cmd[@]}"
    ;;
esac
