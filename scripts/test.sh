#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds every preset and runs every test:
# natively, under AddressSanitizer/UndefinedBehaviorSanitizer, under ThreadSanitizer, and the
# Windows build under Wine. Exits non-zero if any step fails.
set -uo pipefail
exec </dev/null
cd "$(dirname "$0")/.."
source scripts/packages.sh

PRESETS=(linux linux-sanitize linux-tsan windows)
passed=0
failed=0
failures=()

{ install_missing "${NATIVE_PACKAGES[@]}" && install_missing --with-recommends "${WINDOWS_PACKAGES[@]}"; } || {
  echo "Could not install the build tools." >&2
  echo "0 passed, 1 failed"
  exit 1
}

run_tests() {
  local preset=$1
  if [[ $preset == windows && -z "${DISPLAY:-}" ]]; then
    # One X server and one warm wineserver for the whole run; the wineserver stops before its
    # X server does.
    xvfb-run -a bash -c '
      ctest --preset windows; status=$?
      WINEPREFIX="$PWD/build/windows/wine-prefix" wineserver -k 2>/dev/null
      exit $status'
  else
    ctest --preset "$preset"
  fi
}

for preset in "${PRESETS[@]}"; do
  echo "=== $preset"
  log=$(mktemp)
  if ! cmake --preset "$preset" || ! cmake --build --preset "$preset" -j 2; then
    failed=$((failed + 1))
    failures+=("$preset: build")
    rm -f "$log"
    continue
  fi
  run_tests "$preset" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  # ctest's summary: "NN% tests passed, F tests failed out of T"
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
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
done

echo
for failure in "${failures[@]}"; do
  echo "FAILED $failure"
done
echo "$passed passed, $failed failed"
[[ ${#failures[@]} -eq 0 ]]
