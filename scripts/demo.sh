#!/usr/bin/env bash
# Builds the native program and runs its demo: an image written to a simulated board.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

install_missing "${NATIVE_PACKAGES[@]}"
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2

program=build/linux/bin/tessora-demo
if [[ ! -x $program ]]; then
  echo "$program was not built." >&2
  exit 1
fi
# A fresh board in a temporary folder: blank 16384-byte EEPROM, every interface.
board=$(mktemp -d)
trap 'rm -rf "$board"' EXIT
"$program" "$board" examples/firmware.hex "$board/read-out.hex"
echo "the board served $(wc -l <"$board/trace.log") requests; the first ones:"
head -n 3 "$board/trace.log" | cut -c 1-100
