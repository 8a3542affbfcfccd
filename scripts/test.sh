#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds every preset and runs every test:
# natively, under AddressSanitizer/UndefinedBehaviorSanitizer, under ThreadSanitizer, the
# Windows builds under Wine, and each fuzz target for a short smoke run. Exits non-zero if any
# step fails.
#
# Both Windows presets are always built. The 64-bit Windows tests always run (64-bit Wine needs
# nothing of the kernel); the 32-bit ones run where the kernel runs 32-bit programs, which is
# found out by starting one. TESSORA_WINDOWS_64_ONLY=1 skips the 32-bit tests anyway, to try
# that path on a machine that could run them. TESSORA_FUZZ_SECONDS sets each fuzz target's
# run (30 by default).
set -uo pipefail
exec </dev/null
cd "$(dirname "$0")/.."
source scripts/packages.sh

passed=0
failed=0
failures=()

{ install_missing "${NATIVE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" &&
    install_missing --with-recommends "${WINDOWS_PACKAGES[@]}"; } || {
  echo "Could not install the build tools." >&2
  echo "0 passed, 1 failed"
  exit 1
}

# Why the 32-bit Windows tests cannot run here; empty when they can.
why_no_32bit_windows_tests() {
  if [[ ${TESSORA_WINDOWS_64_ONLY:-} == 1 ]]; then
    echo "TESSORA_WINDOWS_64_ONLY=1"
  elif ! output=$(/usr/lib/wine/wine --version 2>&1); then
    echo "this kernel runs no 32-bit programs: ${output##*: }"
  fi
}

WINDOWS_TESTED=(windows64)
no_32bit=$(why_no_32bit_windows_tests)
[[ -z $no_32bit ]] && WINDOWS_TESTED=(windows windows64)

run_tests() {
  local preset=$1
  if [[ $preset == windows* && -z "${DISPLAY:-}" ]]; then
    # One X server and one warm wineserver for the preset's run; the wineserver stops before
    # its X server does.
    xvfb-run -a bash -c '
      ctest --preset "$1"; status=$?
      WINEPREFIX="$PWD/build/$1/wine-prefix" wineserver -k 2>/dev/null
      exit $status' run-tests "$preset"
  else
    ctest --preset "$preset"
  fi
}

# Adds the outcome of one ctest run to the totals; ctest's summary reads
# "NN% tests passed, F tests failed out of T".
count_results() {
  local preset=$1 log=$2 status=$3 summary total bad
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -n $summary ]]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [[ $bad -eq 0 && $status -ne 0 ]] && failed=$((failed + 1))
  else
    failed=$((failed + 1))
  fi
  [[ $status -ne 0 ]] && failures+=("$preset: tests")
}

for preset in linux linux-sanitize linux-tsan windows windows64; do
  echo "=== $preset"
  if ! cmake --preset "$preset" || ! cmake --build --preset "$preset" -j 2; then
    failed=$((failed + 1))
    failures+=("$preset: build")
    continue
  fi
  if [[ $preset == windows* && " ${WINDOWS_TESTED[*]} " != *" $preset "* ]]; then
    echo "$preset: built; its tests do not run here ($no_32bit)"
    continue
  fi
  log=$(mktemp)
  run_tests "$preset" 2>&1 | tee "$log"
  count_results "$preset" "$log" "${PIPESTATUS[0]}"
  rm -f "$log"
done

echo "=== fuzz"
if bash scripts/fuzz.sh "${TESSORA_FUZZ_SECONDS:-30}"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  failures+=("fuzz")
fi

echo
if [[ -z $no_32bit ]]; then
  echo "Windows tests ran for the 32-bit and the 64-bit builds."
else
  echo "Windows tests ran for the 64-bit build only; the 32-bit build was built, not tested ($no_32bit)."
fi
for failure in "${failures[@]}"; do
  echo "FAILED $failure"
done
echo "$passed passed, $failed failed"
[[ ${#failures[@]} -eq 0 ]]
