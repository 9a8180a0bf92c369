#!/usr/bin/env bash
# A session ID given to another logon is never acted on: petrova's row is
# selected, her session ends and the server gives ID 3 to kozlov; the
# automatic refresh shows kozlov in that row without the selection, and a
# logoff from the keyboard then reaches nobody. Without a refresh, the check
# before acting leaves the ID alone too.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file exact-targets.json
e2e_start

e2e_get_data TS01
e2e_key Home                                   # petrova (3) selected and focused
# From the list to the refresh chooser (past the specified controls and
# "Все серверы"), "15 с"; the server is listed again without Get data.
e2e_key Tab Tab Tab Tab Tab Tab Down
e2e_wait_refresh TS01
e2e_key Up                                     # the refresh off again
e2e_screenshot e2e-exact-targets-refreshed
# Back to the list (past the find box): "Завершить сессию (-и)" / "Вы уверены?".
e2e_key Tab Tab
e2e_key shift+F10 Down Right Return
e2e_answer_box                                 # nothing selected: the singular report
sleep 1
e2e_expect_count '^WTSLogoffSession\t' 0

# Now kozlov's row is selected and logged off: the same logon, acted on.
e2e_key Home
e2e_key shift+F10 Down Right Return
e2e_wait_log '^WTSLogoffSession\tserver=TS01\t.*session=3\t.*result=1'
e2e_answer_box
e2e_expect_count '^WTSLogoffSession\t' 1
e2e_stop
echo "e2e exact targets: ok"
