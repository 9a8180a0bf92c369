#!/usr/bin/env bash
# Set-up, build, run and test on a Debian 12 machine (run as root or with sudo).
#   ./dev.sh run    install what is needed, build, start the console under Wine
#                   against the demo farm
#   ./dev.sh test   install what is needed, build natively and for Windows, run every test
#   ./dev.sh build  build both ways without running anything
#   ./dev.sh test-asan  the native tests built with AddressSanitizer and
#                   UndefinedBehaviorSanitizer (part of test)
#   ./dev.sh test-tsan  the tests labelled `engine` built with ThreadSanitizer,
#                   each run TSAN_REPEAT times (part of test)
#   ./dev.sh fuzz [SECONDS]  every fuzz target for SECONDS (default 20) each
# BUILD_DIR (default: ./build) holds both builds and the Wine prefixes.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
NATIVE=$BUILD_DIR/native
ASAN=$BUILD_DIR/asan
TSAN=$BUILD_DIR/tsan
WINB=$BUILD_DIR/win
JOBS=${JOBS:-$(nproc)}

PACKAGES=(cmake ninja-build g++ googletest nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xdotool imagemagick
  slapd ldap-utils locales clang llvm libclang-rt-14-dev)

log() { printf '== %s\n' "$*" >&2; }

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    local sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    echo 'slapd slapd/no_configuration boolean true' | $sudo debconf-set-selections
    $sudo apt-get update -q
    # Recommends are wanted: Wine's fonts come that way.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
  fi
  # Wine runs with a Russian locale so that the ANSI code page is 1251.
  if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
    log "generating the ru_RU.UTF-8 locale"
    local sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
  fi
}

build_native() {
  cmake -S "$ROOT" -B "$NATIVE" -G Ninja >/dev/null
  cmake --build "$NATIVE" -j "$JOBS"
}

# The native tests with AddressSanitizer, UndefinedBehaviorSanitizer and the
# standard library's assertions, as a Debug build (assert() on, quickest to
# compile); the first report ends the test program and fails its test.
test_asan() {
  cmake -S "$ROOT" -B "$ASAN" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVENIX_SANITIZE=address,undefined >/dev/null
  cmake --build "$ASAN" -j "$JOBS"
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir "$ASAN" --timeout 600 --output-on-failure
}

# The engine's tests (CTest label `engine`, built by the target engine_tests)
# with ThreadSanitizer, each repeated until it fails or has passed TSAN_REPEAT
# times. No such test is no failure.
test_tsan() {
  cmake -S "$ROOT" -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVENIX_SANITIZE=thread >/dev/null
  cmake --build "$TSAN" -j "$JOBS" --target engine_tests
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir "$TSAN" -L engine --no-tests=ignore --repeat "until-fail:${TSAN_REPEAT:-50}" --output-on-failure
}

# Every fuzz target for a short while (FUZZ_SECONDS each, two at a time).
fuzz_briefly() { JOBS=$JOBS "$ROOT/fuzz/run.sh" "${FUZZ_SECONDS:-12}"; }

build_windows() {
  cmake -S "$ROOT" -B "$WINB" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$WINB" -j "$JOBS"
}

# make_prefix DIR GRAPHICS: a 64-bit Wine prefix with fonts, no window manager
# and the farm double preferred over Wine's own wtsapi32 for tarvenix.exe.
make_prefix() {
  local prefix=$1 graphics=$2
  # (The stamp names the prefix's settings; a prefix made with older ones is made anew.)
  if [ -f "$prefix/.tarvenix-ready-2" ]; then return; fi
  log "creating Wine prefix $prefix ($graphics)"
  rm -rf "$prefix"; mkdir -p "$prefix"
  WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wine wineboot -i </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  local reg=$prefix/tarvenix.reg
  {
    printf 'REGEDIT4\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\tarvenix.exe\\DllOverrides]\n"wtsapi32"="native,builtin"\n\n'
    # A program that crashes ends at once with a failure: no debugger is
    # started (Wine's would wait for ever on a display-less machine).
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\n"winedbg.exe"=""\n\n'
    if [ "$graphics" = null ]; then printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n"Graphics"="null"\n\n'; fi
  } >"$reg"
  WINEPREFIX=$prefix WINEDEBUG=-all wine regedit /S "$reg" </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  touch "$prefix/.tarvenix-ready-2"
}

# start_wineserver PREFIX: a persistent server, started outside CTest so that
# Wine's service processes do not inherit CTest's pipes.
start_wineserver() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -p
  WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ru_RU.UTF-8 wine wineboot </dev/null >/dev/null 2>&1 || true
}

stop_wineserver() { WINEPREFIX=$1 wineserver -k 2>/dev/null || true; }

XVFB_PID=
start_xvfb() {
  local n
  for n in 91 92 93 94 95 96 97 98; do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then
      Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=:$n
      for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && return 0; sleep 0.1; done
    fi
  done
  echo "cannot start Xvfb" >&2; return 1
}

cleanup() {
  stop_wineserver "$WINB/wine-null" || true
  stop_wineserver "$WINB/wine-x11" || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}

cmd_build() { install_packages; build_native; build_windows; }

cmd_test() {
  install_packages
  local t0=$SECONDS
  build_native
  build_windows
  log "built in $((SECONDS - t0)) s"
  trap cleanup EXIT
  make_prefix "$WINB/wine-null" null
  make_prefix "$WINB/wine-x11" x11
  log "native core tests"
  ctest --test-dir "$NATIVE" --timeout 600 --output-on-failure
  local t1=$SECONDS
  log "native tests with AddressSanitizer and UndefinedBehaviorSanitizer"
  test_asan
  log "sanitized native tests: $((SECONDS - t1)) s"
  t1=$SECONDS
  log "engine tests with ThreadSanitizer"
  test_tsan
  log "thread-sanitized engine tests: $((SECONDS - t1)) s"
  t1=$SECONDS
  log "fuzz targets"
  fuzz_briefly
  log "fuzzing: $((SECONDS - t1)) s"
  log "Windows tests under Wine"
  start_xvfb
  start_wineserver "$WINB/wine-null"
  start_wineserver "$WINB/wine-x11"
  WINEPREFIX=$WINB/wine-null ctest --test-dir "$WINB" --timeout 600 --output-on-failure
  log "all tests passed in $((SECONDS - t0)) s"
}

cmd_run() {
  install_packages
  build_windows
  make_prefix "$WINB/wine-x11" x11
  local farmdir=$BUILD_DIR/demo
  mkdir -p "$farmdir"
  cp "$ROOT/tests/farm/demo-farm.json" "$WINB/bin/farm.json"
  # The demo farm's servers in the history, for "Все серверы" (a history of
  # your own is left alone).
  [ -f "$WINB/bin/serverslist.txt" ] ||
    printf '\xef\xbb\xbfTS01\r\nTS02.corp.example\r\nСЕРВЕР-БУХ\r\nTS-OLD\r\n' >"$WINB/bin/serverslist.txt"
  if [ -z "${DISPLAY:-}" ]; then
    log "no DISPLAY: starting Xvfb (screenshots: import -window root shot.png)"
    start_xvfb
  fi
  log "starting tarvenix.exe (demo farm: $WINB/bin/farm.json, action log: $WINB/bin/farm-actions.log)"
  cd "$WINB/bin"
  WINEPREFIX=$WINB/wine-x11 WINEDEBUG=-all LC_ALL=ru_RU.UTF-8 wine ./tarvenix.exe
}

case "${1:-}" in
  run) cmd_run ;;
  test) cmd_test ;;
  build) cmd_build ;;
  test-asan) install_packages; test_asan ;;
  test-tsan) install_packages; test_tsan ;;
  fuzz) install_packages; JOBS=$JOBS "$ROOT/fuzz/run.sh" "${2:-20}" ;;
  prefixes) make_prefix "$WINB/wine-null" null; make_prefix "$WINB/wine-x11" x11 ;;
  *) echo "usage: $0 run|test|build|test-asan|test-tsan|fuzz [seconds]" >&2; exit 2 ;;
esac
