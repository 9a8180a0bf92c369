#!/usr/bin/env bash
# The real program against the demo farm: a server name typed into the box,
# Enter runs Get data, the double sees the calls, the list shows the rows.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm demo
e2e_start

e2e_wait_log '^WTSRegisterSessionNotification\t.*result=1'
e2e_get_data TS01
e2e_wait_log '^WTSOpenServerW\tserver=TS01\t'
e2e_wait_log '^WTSCloseServer\t'
sleep 1
# Four queries per enumerated session in order, then the times of each session
# that has a user; each buffer freed. Sessions are queried in parallel, so the
# order is checked session by session.
# (grep -m stops reading by itself: no early-closing pipe under pipefail.)
sessions=$(grep -m 1 -P '^WTSEnumerateSessionsW\tserver=TS01\t' "$E2E_LOG" | grep -oP 'count=\K[0-9]+')
users=$(grep -cP '^WTSQuerySessionInformationW\tserver=TS01\t.*\tclass=24\t' "$E2E_LOG" || true)
e2e_expect_count '^WTSQuerySessionInformationW\tserver=TS01\t' $((sessions * 4 + users))
[ "$users" -ge 1 ] || e2e_fail "no session's times were asked for"
for id in 1 2 0; do
  classes=$(grep -P "^WTSQuerySessionInformationW\tserver=TS01\t.*\tsession=$id\t" "$E2E_LOG" | grep -oP 'class=\K[0-9]+' | tr '\n' ' ')
  case "$classes" in
    '10 5 6 14 24 '|'10 5 6 14 ') ;;
    *) e2e_fail "the queries of session $id are not in the order 10 5 6 14 (24): $classes" ;;
  esac
done
e2e_screenshot e2e-main-window

# An unreachable server: the list empties and a message names the server.
e2e_key ctrl+a
sleep 0.2
e2e_key Tab Tab Tab Tab  # from the list back to the server box
e2e_screenshot e2e-after-tab
e2e_stop
grep -qP '^WTSUnRegisterSessionNotification\t' "$E2E_LOG" || e2e_fail "no unregistration at shutdown"
echo "e2e main_window: ok"
