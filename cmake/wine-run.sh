#!/usr/bin/env bash
# Runs a Windows program under Wine and exits with the program's exit status.
# Usage: wine-run.sh win32|win64 WINEPREFIX PROGRAM.exe [ARGS...]
# win32: 32-bit programs in a 32-bit prefix, which keeps the registry view simple (in a 64-bit
# prefix a 32-bit program's HKEY_LOCAL_MACHINE\Software is redirected to Wow6432Node); needs a
# kernel that runs 32-bit programs. win64: 64-bit programs in a 64-bit prefix, started with the
# 64-bit loader directly (Debian's `wine` starts the 32-bit loader whenever it is installed).
# With DISPLAY set the program joins the running wineserver, which is the fast path (run the whole
# test session under one `xvfb-run -a`). Without DISPLAY each program gets its own Xvfb and its own
# wineserver, one program at a time: a wineserver outliving its Xvfb would leave the next program
# a desktop with no X connection.
set -euo pipefail

if [[ $# -lt 3 || ( $1 != win32 && $1 != win64 ) ]]; then
  echo "usage: $0 win32|win64 WINEPREFIX PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

export WINEARCH=$1
if [[ $WINEARCH == win64 ]]; then
  export WINELOADER=${WINELOADER:-/usr/lib/wine/wine64}
  wine=("$WINELOADER")
else
  wine=(wine)
fi
WINEPREFIX=$(realpath -m "$2")
export WINEPREFIX
shift 2
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts, which would wait for a click nobody gives.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

mkdir -p "$(dirname "$WINEPREFIX")"
# Several test programs may start at once; only one may create the prefix.
exec 9>"$WINEPREFIX.lock"
flock 9
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  if ! "${wine[@]}" wineboot -i >/dev/null 2>&1; then
    echo "wine-run.sh: wineboot failed for $WINEPREFIX" >&2
    exit 1
  fi
  wineserver -w
fi
# Without a window manager Wine waits up to two seconds for one whenever a managed window is
# hidden or destroyed; unmanaged windows, with Wine's own frames, need no such wait.
if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "${wine[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
fi

if [[ -n "${DISPLAY:-}" ]]; then
  # The first Wine process of a session starts wineserver and the system processes, and they
  # inherit its output. Started by the program itself, they would hold CTest's pipe open until
  # wineserver exits, seconds after the program has ended; a throw-away first process avoids it.
  "${wine[@]}" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  flock -u 9
  exec 9>&-
  exec "${wine[@]}" "$@"
fi

# Still holding the lock: this program owns the wineserver until it has stopped.
status=0
xvfb-run -a bash -c '"$@"; status=$?; wineserver -k; wineserver -w; exit $status' wine-run "${wine[@]}" "$@" || status=$?
exit $status
