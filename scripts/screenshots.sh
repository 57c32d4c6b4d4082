#!/usr/bin/env bash
# Renders the screenshots of the documentation: both pages of the screen
# "Estrutura do DW", a name being edited, a fact being added (the rest of the
# screen locked) and a look-up dialog, on the demo database served
# in-process, with Qt's offscreen platform (or inside Xvfb with --xvfb).
#
#   bash scripts/screenshots.sh [--xvfb] [PASTA]      (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."

use_xvfb=0
if [ "${1:-}" = "--xvfb" ]; then use_xvfb=1; shift; fi
out="${1:-docs/screenshots}"
build=build/run

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQMX_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target host_screenshots PKG_QMX00600 \
  | grep -Ev '^\[ *[0-9]+%\] (Built target|Automatic MOC)' || true
mkdir -p "$out"
if [ "$use_xvfb" = 1 ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$build/bin/host_screenshots" "$out"
else
  QT_QPA_PLATFORM=offscreen "$build/bin/host_screenshots" "$out"
fi
