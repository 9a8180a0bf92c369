#!/usr/bin/env bash
# Disconnect from the keyboard: two selected sessions through the session
# menu's "Отключить сессию (-и)" / "Вы уверены?"; the double sees one call per
# session on the listed server. F5 then lists the server again, with the two
# sessions now disconnected and the idle and logon columns filled.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file actions-farm.json
e2e_start

e2e_get_data TS01
e2e_list_to_server_box                         # the server box, its text selected
e2e_type OTHER                                 # the rows still belong to TS01
e2e_server_box_to_list                         # back to the session list
e2e_key Home shift+Down                        # sessions 2 and 5
e2e_key shift+F10 Down Down Down Down Down Right Return
e2e_wait_log '^WTSDisconnectSession\tserver=TS01\t.*session=5\t'
e2e_answer_box                                 # "Команды на отключение сессий отправлены"
e2e_expect_count '^WTSDisconnectSession\tserver=TS01\t.*session=2\t.*result=1' 1
e2e_expect_count '^WTSDisconnectSession\tserver=TS01\t.*session=5\t.*result=1' 1
e2e_expect_count '^WTSDisconnectSession\t' 2
e2e_expect_count '^WTSLogoffSession\t' 0

e2e_key F5
e2e_wait_log '^WTSQuerySessionInformationW\tserver=TS01\t.*class=24\t'
sleep 1
e2e_expect_count '^WTSEnumerateSessionsW\tserver=TS01\t' 2
e2e_expect_count '^WTSEnumerateSessionsW\tserver=OTHER' 0
e2e_screenshot e2e-disconnect
e2e_stop
echo "e2e disconnect: ok"
