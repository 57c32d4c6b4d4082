#!/usr/bin/env bash
# Builds the application-server fuzz targets with clang and runs each for a
# fixed number of executions (10 million unless RUNS says otherwise), at low
# priority, both at once. Prints each target's execution count; exits non-zero
# when a target stops on a fault (its crash file is left in the build folder).
#
#   bash fuzz/run_deep.sh                 # fuzz_dispatch and fuzz_apply
#   RUNS=100000 bash fuzz/run_deep.sh fuzz_apply
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10000000}
dir=${FUZZ_BUILD:-build/fuzz}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_dispatch fuzz_apply)

CXX=clang++ CC=clang cmake -S . -B "$dir" -DQMX_FUZZ=ON -DQMX_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"

pids=()
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t" "$dir/crashes/$t"
  # Entropic scheduling off: its bookkeeping halves the execution rate here.
  nice -n 15 "$dir/bin/$t" -runs="$runs" -entropic=0 -print_final_stats=1 \
    -artifact_prefix="$dir/crashes/$t/" "$dir/corpus/$t" >"$dir/$t.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if wait "${pids[$i]}"; then result=ok; else result=FAULT; status=1; fi
  count=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$dir/$t.log" | grep -o '[0-9]*$' || true)
  echo "$t: ${count:-?} executions, $result (log: $dir/$t.log)"
done
exit $status
