#!/usr/bin/env bash
# Builds the `fuzz` preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs every fuzz target for SECONDS each (default 30), as a smoke check. Exits non-zero
# when a build fails or a target finds a crash, a leak or undefined behaviour; the input that
# did it is left in build/fuzz/findings/.
#
#   scripts/fuzz.sh [SECONDS]
#
# Each target starts from its seed corpus (fuzz/corpus/<name>/, never written) and keeps
# what it learns in build/fuzz/corpus/<name>/, so later runs go on from there. A longer run
# of one target, on every core, until stopped (or for -max_total_time seconds):
#
#   build/fuzz/fuzzers/fuzz_image_file_reader -jobs=$(nproc) -workers=$(nproc) \
#     -artifact_prefix=build/fuzz/findings/ build/fuzz/corpus/image_file_reader fuzz/corpus/image_file_reader
set -uo pipefail
shopt -s nullglob
exec </dev/null
cd "$(dirname "$0")/.."
source scripts/packages.sh

seconds=${1:-30}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

install_missing "${FUZZ_PACKAGES[@]}" || { echo "Could not install the fuzzing tools." >&2; exit 1; }
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || { echo "fuzz build failed" >&2; exit 1; }

mkdir -p build/fuzz/findings
failed=0
for target in build/fuzz/fuzzers/fuzz_*; do
  name=${target##*/fuzz_}
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [[ -d fuzz/corpus/$name ]] && seeds=("fuzz/corpus/$name")
  echo "=== $name, ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="build/fuzz/findings/$name-" "$corpus" "${seeds[@]}" 2>"build/fuzz/$name.log"; then
    failed=$((failed + 1))
    tail -n 40 "build/fuzz/$name.log" >&2
    echo "$name: FAILED (log: build/fuzz/$name.log)"
    continue
  fi
  # The last coverage line and the final statistics.
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "build/fuzz/$name.log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "build/fuzz/$name.log"
done
echo "fuzz: $failed target(s) failed"
[[ $failed -eq 0 ]]
