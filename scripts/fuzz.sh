#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, NORVANE_FUZZ=ON) in build-fuzz and runs
# each for a bounded time over a copy of its seed corpus, fuzz/corpus/<name>.
# Any crash, sanitizer report, leak or failed property fails the script; the
# input that caused it is left in build-fuzz/findings/<target>/.
#
#   bash scripts/fuzz.sh [target...]     (default: every target)
#   FUZZ_SECONDS=600 bash scripts/fuzz.sh fuzz_xml
#
# To replay a finding: build-fuzz/<target> build-fuzz/findings/<target>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=build-fuzz
all_targets=(fuzz_param_markers fuzz_ini fuzz_log_record fuzz_xml fuzz_forged_log)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

# shellcheck disable=SC1091
source scripts/sanitizers/env.sh

failed=()
for target in "${targets[@]}"; do
  seeds=fuzz/corpus/${target#fuzz_}
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  # The seeds join what earlier runs found; the repository is never written.
  cp -n "$seeds"/* "$corpus"/
  echo "fuzz.sh: $target for ${seconds}s" >&2
  if ! "$build/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" 2> "$build/$target.log"; then
    tail -n 60 "$build/$target.log" >&2
    failed+=("$target")
  else
    grep -E '^(stat::number_of_executed_units|Done)' "$build/$target.log" >&2 || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
echo "fuzz.sh: no findings" >&2
