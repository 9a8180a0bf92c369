#!/usr/bin/env bash
# Runs a Windows test program under Wine for CTest. The prefix and the display
# come from the environment that dev.sh (or the developer) set up;
# the default is the headless prefix in the Windows build folder.
set -u
exe=$1; shift
: "${WINEPREFIX:=$(cd "$(dirname "$exe")" && pwd)/../wine-null}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
# The farm double beside the test programs is preferred over Wine's own wtsapi32.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-'mscoree,mshtml=;wtsapi32=n,b'}
export LC_ALL=${TARVENIX_WINE_LOCALE:-ru_RU.UTF-8}
exec wine "$exe" "$@" </dev/null
