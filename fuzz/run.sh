#!/usr/bin/env bash
# Runs each fuzz target (or those named) for SECONDS seconds from its seed corpus,
# with the fuzz preset's build, and prints the executions per target and in all.
# New inputs go to build/fuzz/fuzz-corpus/, crashes to build/fuzz/fuzz-artifacts/.
# Usage: bash fuzz/run.sh SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(adapter registry_file registry_parameters file_lines path_names key_decoder resource_script)
fi
[ -d build/fuzz ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

total=0
failed=0
for target in "${targets[@]}"; do
  [ -x "build/fuzz/bin/${target}_fuzz" ] || { echo "$target: no such fuzz target"; failed=1; continue; }
  mkdir -p "build/fuzz/fuzz-corpus/$target" build/fuzz/fuzz-artifacts
  log="build/fuzz/fuzz-artifacts/$target.log"
  if "build/fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -artifact_prefix="build/fuzz/fuzz-artifacts/$target-" "build/fuzz/fuzz-corpus/$target" \
      "fuzz/corpus/$target" >"$log" 2>&1; then
    status=ok
  else
    status="CRASH (see $log)"
    failed=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  total=$((total + runs))
  printf '%-20s %12s executions  %s\n' "$target" "$runs" "$status"
done
printf '%-20s %12s executions\n' "all" "$total"
exit $failed
