#!/usr/bin/env bash
# Runs the directory tests against a private OpenLDAP slapd on loopback.
#   run-directory-tests.sh PATH/directory_tests.exe [test program arguments]
# Builds the directory from the fixtures beside this script in a temporary
# folder, starts slapd on a free port, runs the test program under Wine
# (cmake/wine-run.sh, which honours WINEPREFIX) with the port in
# TARVENIX_LDAP_PORT, then stops slapd and removes the folder.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=$1; shift
SLAPD=${SLAPD:-/usr/sbin/slapd}
SLAPADD=${SLAPADD:-/usr/sbin/slapadd}

for tool in "$SLAPD" "$SLAPADD"; do
  if [ ! -x "$tool" ]; then
    echo "run-directory-tests: $tool is missing (apt-get install slapd ldap-utils)" >&2
    exit 1
  fi
done
command -v ldapsearch >/dev/null || { echo "run-directory-tests: ldapsearch is missing (ldap-utils)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-slapd.XXXXXX")
slapd_pid=
cleanup() {
  if [ -n "$slapd_pid" ]; then
    kill "$slapd_pid" 2>/dev/null || true
    wait "$slapd_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

conf=$work/slapd.conf
sed -e "s|@WORK@|$work|g" -e "s|@HERE@|$here|g" "$here/slapd.conf.in" >"$conf"
mkdir -p "$work/one-two-three" "$work/corp-example"
"$SLAPADD" -q -f "$conf" -b "dc=one,dc=two,dc=three" -l "$here/one-two-three.ldif"
"$SLAPADD" -q -f "$conf" -b "dc=corp,dc=example" -l "$here/corp-example.ldif"

# answers PORT: true once the directory serves anonymous searches there.
answers() {
  ldapsearch -x -LLL -o nettimeout=2 -H "ldap://127.0.0.1:$1/" -b "dc=one,dc=two,dc=three" -s base dn \
    >/dev/null 2>&1
}

# A free port: a few tries from a random base. slapd exits at once when it
# cannot listen; -d 0 keeps it in the foreground so that its id is ours.
port=
base=$((20000 + RANDOM % 30000))
for try in 0 1 2 3 4 5 6 7; do
  candidate=$((base + try * 97))
  "$SLAPD" -d 0 -f "$conf" -h "ldap://127.0.0.1:$candidate/" >"$work/slapd.log" 2>&1 </dev/null &
  slapd_pid=$!
  for _ in $(seq 100); do
    if answers "$candidate"; then port=$candidate; break; fi
    kill -0 "$slapd_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$port" ] && break
  kill "$slapd_pid" 2>/dev/null || true
  wait "$slapd_pid" 2>/dev/null || true
  slapd_pid=
done
if [ -z "$port" ]; then
  echo "run-directory-tests: slapd did not start" >&2
  cat "$work/slapd.log" >&2 || true
  exit 1
fi
echo "run-directory-tests: slapd on 127.0.0.1:$port" >&2

# A crash ends the program instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winedbg.exe=d"
status=0
TARVENIX_LDAP_PORT=$port "$root/cmake/wine-run.sh" "$exe" "$@" || status=$?
exit "$status"
