# Sourced by the scripts in this folder: installs Debian 12 packages that are missing.

NATIVE_PACKAGES=(g++ cmake make googletest pkg-config libusb-1.0-0-dev libudev-dev)
# The Linux device stack's tests emulate devices with umockdev.
TEST_PACKAGES=(umockdev libumockdev-dev)
# The Debian package: dpkg-shlibdeps for its dependencies, and what its tests check it with.
PACKAGE_PACKAGES=(dpkg-dev lintian man-db bash-completion)
# scripts/fuzz.sh: clang with libFuzzer and the sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xauth fonts-wine wixl msitools)

package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

# install_missing [--with-recommends] PACKAGE... : installs only what is absent, so a second
# run costs nothing. Wine's recommended libraries (X extensions, fonts, GL) are what its
# windows and dialogs are drawn with, so the Windows tools come with them.
install_missing() {
  local recommends=(--no-install-recommends)
  if [[ ${1:-} == --with-recommends ]]; then
    recommends=()
    shift
  fi
  local missing=() package
  for package in "$@"; do
    package_installed "$package" || missing+=("$package")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0

  local sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
      sudo=(sudo)
    else
      echo "Missing packages (${missing[*]}); run as root to install them." >&2
      return 1
    fi
  fi
  echo "Installing: ${missing[*]}"
  if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386 || return 1
  fi
  "${sudo[@]}" apt-get update -q || return 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q "${recommends[@]}" "${missing[@]}" || return 1
}
