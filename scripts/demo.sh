#!/usr/bin/env bash
# Builds tessora and runs an update on a fresh simulated board: writes the example image
# silently, reads the EEPROM back out, and shows that the two agree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

install_missing "${NATIVE_PACKAGES[@]}"
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2 --target tessora >/dev/null

tessora=build/linux/bin/tessora
board=$(mktemp -d)
trap 'rm -rf "$board"' EXIT
# A blank 16384-byte EEPROM behind all three interfaces; settings kept beside it.
export TESSORA_SIM=$board XDG_CONFIG_HOME=$board/config

echo "\$ tessora -s examples/firmware.hex"
"$tessora" -s examples/firmware.hex
echo "\$ tessora --read-out read-out.hex"
"$tessora" --read-out "$board/read-out.hex" 2>/dev/null

if diff <(grep -v '^//' examples/firmware.hex) "$board/read-out.hex" >/dev/null; then
  echo "The read-out matches examples/firmware.hex ($(wc -l <"$board/trace.log") requests served by the board)."
else
  echo "The read-out differs from examples/firmware.hex." >&2
  exit 1
fi
