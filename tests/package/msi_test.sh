#!/usr/bin/env bash
# The 64-bit installer under 64-bit Wine: a silent install puts both programs under Program
# Files with a Start-menu entry, a silent removal takes them away again. The prefix is made
# for this run in the build folder and removed with its wineserver at the end.
#
#   tests/package/msi_test.sh BUILD_DIR
set -uo pipefail
build=$(realpath "$1")
msi=$build/tessora-x64.msi
[[ -f $msi ]] || { echo "FAILED: no $msi" >&2; exit 1; }

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
WINEPREFIX=$(mktemp -d "$build/msi-prefix.XXXXXX")
export WINEPREFIX
wine=/usr/lib/wine/wine64
trap 'wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

"$wine" wineboot -i >/dev/null 2>&1 && wineserver -w || { echo "FAILED: wineboot" >&2; exit 1; }
# Wine's Z: drive is the root of the file system (Debian's winepath starts the 32-bit loader).
windows_msi="Z:${msi//\//\\}"
installed=$WINEPREFIX/drive_c/Program\ Files/Tessora
# Where the Start menu lies depends on the prefix's user and Wine's folder mapping.
start_menu_entry() {
  find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tessora.lnk' | grep -q .
}

"$wine" msiexec /i "$windows_msi" /qn >/dev/null 2>&1
wineserver -w
for program in tessora.exe tessora-cli.exe; do
  cmp -s "$installed/$program" "$build/bin/$program" || fail "$program not installed in $installed"
done
start_menu_entry || fail "no Start-menu entry"
version=$("$wine" "$installed/tessora-cli.exe" --version 2>/dev/null | tr -d '\r')
[[ $version == "Tessora $(msiinfo export "$msi" Property | tr -d '\r' | sed -nE 's/^ProductVersion\t(.*)$/\1/p') "* ]] ||
  fail "installed program says '$version'"

"$wine" msiexec /x "$windows_msi" /qn >/dev/null 2>&1
wineserver -w
for program in tessora.exe tessora-cli.exe; do
  [[ ! -e $installed/$program ]] || fail "$program still there after the removal"
done
start_menu_entry && fail "the Start-menu entry is still there after the removal"

[[ $failures -eq 0 ]]
