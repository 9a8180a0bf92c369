#!/usr/bin/env bash
# The farm view in the real program: "Все серверы" lists the five servers of
# the history in one list, the find box narrows it to the user looked for (on
# the third server), and that session is logged off on its own server, checked
# in the double's action log; the view is remembered.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file farm-view.json
printf 'FARM1\r\nFARM2\r\nFARM3\r\nFARM4\r\nFARM5\r\n' >"$E2E_APP/serverslist.txt"
e2e_start

# From the server box, Tab to "Все серверы"; Space turns the farm view on.
e2e_key Tab space
for n in 1 2 3 4 5; do e2e_wait_log "^WTSEnumerateSessionsW\tserver=FARM$n\t.*result=1"; done
sleep 1
e2e_screenshot e2e-farm-view

# Ctrl+F, the user's name: one row is left.
e2e_key ctrl+f
e2e_type 'Козлова'
sleep 1
e2e_screenshot e2e-farm-view-filtered

# Tab from the find box wraps to the list; Home selects its first (only) row;
# the session menu's "Завершить сессию (-и)" / "Вы уверены?".
e2e_key Tab Home
e2e_key shift+F10 Down Right Return
e2e_wait_log '^WTSLogoffSession\tserver=FARM3\t.*session=7\t.*result=1'
e2e_answer_box
e2e_expect_count '^WTSLogoffSession\t' 1
e2e_stop
grep -aq 'all servers=1' "$E2E_APP/settings.ini" || e2e_fail "the farm view was not remembered"
echo "e2e farm view: ok"
