#!/usr/bin/env bash
# The Debian package CPack makes of a build: its contents and metadata, lintian, the manual
# page and the shell completion, each checked against the built program itself.
#
#   tests/package/deb_test.sh BUILD_DIR
set -uo pipefail
build=$1
program=$build/bin/tessora
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# Every option `tessora --help` lists: "-s", "--update-changed", "-q", "--quiet", ...
help_options() {
  "$program" --help | grep -oE '^  (-[a-z]|--[a-z-]+)(, --[a-z-]+)?' | tr ',' '\n' | tr -d ' '
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack" >&2
  exit 1
fi
debs=("$work"/out/tessora_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAILED: no single .deb in ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

# Metadata: the version --version prints, and the libraries the program links.
version=$("$program" --version | sed -nE 's/^Tessora ([^ ]+) .*/\1/p')
[[ -n $version && $(dpkg-deb -f "$deb" Version) == "$version" ]] ||
  fail "package version $(dpkg-deb -f "$deb" Version), program version '$version'"
[[ $(dpkg-deb -f "$deb" Package) == tessora ]] || fail "package name $(dpkg-deb -f "$deb" Package)"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libudev1 libusb-1.0-0; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# Contents: exactly these files, owned by root, the programs executable.
expected="./usr/bin/tessora 755
./usr/lib/udev/rules.d/70-tessora.rules 644
./usr/lib/udev/tessora-udev-probe 755
./usr/share/bash-completion/completions/tessora 644
./usr/share/doc/tessora/README.md 644
./usr/share/doc/tessora/changelog.gz 644
./usr/share/doc/tessora/copyright 644
./usr/share/man/man1/tessora.1.gz 644"
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {
  mode = 0; for (i = 2; i <= 10; ++i) mode = mode * 2 + (substr($1, i, 1) != "-")
  printf "%s %o %s\n", $6, mode, $2 }' | sort)
[[ $(cut -d' ' -f1,2 <<<"$actual") == "$expected" ]] || fail "contents:
$actual"
grep -qv ' root/root$' <<<"$actual" && fail "files not owned by root: $actual"

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
[[ -x $work/control/postinst ]] && grep -q 'udevadm trigger' "$work/control/postinst" ||
  fail "postinst does not trigger udev"
# The rule runs the probe the package ships, at the path it is installed at.
probe=$(sed -nE 's/.*PROGRAM="([^ ]+) hidraw .*/\1/p' "$work/root/usr/lib/udev/rules.d/70-tessora.rules")
[[ $probe == /usr/lib/udev/tessora-udev-probe && -x $work/root$probe ]] || fail "rule runs '$probe'"
[[ $(grep -c 'TAG+="uaccess"' "$work/root/usr/lib/udev/rules.d/70-tessora.rules") -eq 2 ]] ||
  fail "the rule does not tag both node kinds uaccess"

if ! lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1; then
  fail "lintian: $(cat "$work/lintian.log")"
fi

# The manual page renders without complaint and names every option.
page=$(LC_ALL=C MANWIDTH=100 man --warnings -l "$work/root/usr/share/man/man1/tessora.1.gz" 2>"$work/man.err" | col -b)
[[ -s $work/man.err ]] && fail "man: $(cat "$work/man.err")"
[[ $page == *"EXIT STATUS"* && $page == *"SIMULATED BOARD"* && $page == *"$version"* ]] ||
  fail "the manual page lacks its sections or version"
options=$(help_options)
[[ $(wc -l <<<"$options") -ge 20 ]] || fail "tessora --help lists too few options: $options"
for option in $options; do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$page" || fail "the manual page lacks $option"
done

# The completion offers every option, and the values an option takes.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _tessora; printf "%s\n" "${COMPREPLY[@]}"' complete "$work/root/usr/share/bash-completion/completions/tessora" "$@"
}
offered=$(complete_words tessora -)
for option in $options; do
  grep -qx -- "$option" <<<"$offered" || fail "completion does not offer $option"
done
[[ $(complete_words tessora --reboot '' | sort | tr '\n' ' ') == "eeprom rom " ]] ||
  fail "completion of --reboot: $(complete_words tessora --reboot '')"
[[ $(complete_words tessora --interface w) == winusb ]] || fail "completion of --interface w"

[[ $failures -eq 0 ]]
