#!/usr/bin/env bash
# The process panel from the keyboard: a session's processes listed, one
# terminated on the listed server, the list read again.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file actions-farm.json
e2e_start

e2e_get_data TS01

# The processes of session 2 (first row), then terminate the first of them.
e2e_key Home
e2e_key shift+F10 Down Down Down Down Return   # "Получить список процессов"
e2e_wait_log '^WTSEnumerateProcessesExW\tserver=TS01\t.*result=1'
sleep 1
e2e_screenshot e2e-process-panel
e2e_key Tab Tab Tab                            # session list -> buttons -> process list
e2e_key Home
e2e_key shift+F10 Down Right Return            # "Завершить процесс" / "Вы уверены?"
e2e_wait_log '^WTSTerminateProcess\tserver=TS01\t.*pid=1104\t.*result=1'
e2e_wait_log '^WTSEnumerateProcessesExW\tserver=TS01\t.*count=2'
e2e_expect_count '^WTSTerminateProcess\t' 1

e2e_stop
echo "e2e processes: ok"
