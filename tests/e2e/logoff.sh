#!/usr/bin/env bash
# Logoff from the keyboard: the selected sessions, then every listed session;
# the double sees each call with the right server and session IDs.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file actions-farm.json
e2e_start

e2e_get_data TS01

# Log off the first two rows (sessions 2 and 5) of TS01, with the box edited meanwhile.
e2e_list_to_server_box                         # the server box, its text selected
e2e_type OTHER
e2e_server_box_to_list                         # back to the session list
e2e_key Home shift+Down
e2e_key shift+F10 Down Right Return            # "Завершить сессию (-и)" / "Вы уверены?"
e2e_wait_log '^WTSLogoffSession\tserver=TS01\t.*session=5\t'
e2e_answer_box
e2e_expect_count '^WTSLogoffSession\tserver=TS01\t.*session=2\t.*result=1' 1
e2e_expect_count '^WTSLogoffSession\tserver=TS01\t.*session=5\t.*result=1' 1
e2e_expect_count '^WTSLogoffSession\tserver=OTHER' 0

# Log off all: the listed rows of TS01 after Yes; 2 and 5 are gone already,
# which the check before acting finds: only 7 is logged off.
e2e_key Tab Tab space                          # "Завершить все сессии"
e2e_answer_box                                 # the confirmation: Yes is the default
e2e_wait_log '^WTSLogoffSession\tserver=TS01\t.*session=7\t.*result=1'
e2e_screenshot e2e-logoff-all-report
e2e_expect_count '^WTSLogoffSession\tserver=TS01\t' 3
e2e_expect_count '^WTSLogoffSession\tserver=TS01\t.*session=7\t' 1
e2e_answer_box                                 # the report
e2e_answer_box                                 # sessions 2 and 5 had ended already
e2e_stop
echo "e2e logoff: ok"
