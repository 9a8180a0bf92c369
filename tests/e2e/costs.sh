#!/usr/bin/env bash
# What a session costs and what to clean up, in the real program against a
# farm with process figures: all processes of TS01 with their memory, CPU load
# (from the second listing, F5) and accounts, ordered by memory with header
# clicks; the top one terminated from the keyboard after one question and a
# fresh listing; a session's details (Enter on its row); then, over the farm
# (TS01 and TS02), the clean-up rule's preview and its logoffs, each session
# checked before its logoff, with one report.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file costs-farm.json
printf 'TS01\r\nTS02\r\n' >"$E2E_APP/serverslist.txt"
e2e_start

e2e_get_data TS01
# "Список всех процессов" (the next tab stop after the list's part), then F5 in
# the process list for the CPU load over two listings.
e2e_key Tab space
e2e_wait_log '^WTSEnumerateProcessesExW\tserver=TS01\t.*level=1\t.*result=1\tcount=5'
e2e_expect_count '^WTSEnumerateProcessesW\t' 0
sleep 1.5
e2e_click 694 172                                 # the first process row: the list has the focus
e2e_key F5
sleep 1.5
[ "$(e2e_count_log '^WTSEnumerateProcessesExW\tserver=TS01\t.*result=1')" = 2 ] || e2e_fail "F5 did not list the processes again"
e2e_expect_count '^WTSFreeMemoryExW\tclass=1\tentries=5\t.*result=1' 2
sleep 1
# The added columns lie right of the panel's width: a page to the right on
# the list's scroll bar, then "Память, МБ" twice: the biggest first.
e2e_click 814 486
e2e_click 660 157
sleep 0.7
e2e_click 660 157
sleep 0.5
e2e_screenshot e2e-process-resources
# The top row (excel.exe, 500 MB), Delete: one question, a fresh listing, the termination.
e2e_click 694 172
e2e_key Home
before=$(grep -c . "$E2E_LOG")
e2e_key Delete
e2e_wait_window '^Tarvenix$' 10 >/dev/null || e2e_fail "no question before terminating"
e2e_answer_box
e2e_wait_log '^WTSTerminateProcess\tserver=TS01\t.*pid=1104\t.*result=1'
e2e_expect_count '^WTSTerminateProcess\t' 1
tail -n +"$((before + 1))" "$E2E_LOG" | grep -m1 -P '^WTS(EnumerateProcessesExW|TerminateProcess)\t' \
  | grep -q '^WTSEnumerateProcessesExW' || e2e_fail "the process was not checked against a fresh listing first"

# Enter on the first session row (ivanov): his details, then Esc.
e2e_click 60 186
e2e_key Home Return
e2e_wait_window '^Сведения о сессии: ivanov' 15 >/dev/null || e2e_fail "the details window did not open"
e2e_wait_log '^WTSQuerySessionInformationW\tserver=TS01\t.*session=2\tclass=15\t.*result=1'
e2e_wait_log '^WTSQuerySessionInformationW\tserver=TS01\t.*session=2\tclass=16\t.*result=1'
sleep 1
e2e_screenshot e2e-session-details
e2e_key Escape

# The farm view ("Все серверы"), then the session menu's last item.
e2e_click 662 64
e2e_wait_log '^WTSEnumerateSessionsW\tserver=TS02\t.*result=1'
sleep 1.5
e2e_click 60 186
e2e_key shift+F10 Up Return
e2e_wait_window '^Завершить отключённые сессии$' 15 >/dev/null || e2e_fail "the clean-up dialog did not open"
sleep 2
e2e_screenshot e2e-cleanup-preview
e2e_expect_count '^WTSLogoffSession\t' 0
# Tab to "Завершить сессии" (amount, unit, user, Показать, list, the button).
before=$(grep -c . "$E2E_LOG")
e2e_key Tab Tab Tab Tab Tab Return
e2e_answer_box                                   # the one question
e2e_wait_log '^WTSLogoffSession\tserver=TS02\t.*session=5\t.*result=1'
e2e_wait_log '^WTSLogoffSession\tserver=TS01\t.*session=6\t.*result=1'
e2e_wait_log '^WTSLogoffSession\tserver=TS01\t.*session=3\t.*result=1'
sleep 1
e2e_screenshot e2e-cleanup-report
e2e_answer_box                                   # the report
e2e_expect_count '^WTSLogoffSession\t' 3
after=$(tail -n +"$((before + 1))" "$E2E_LOG")
for s in TS01:3 TS01:6 TS02:5; do
  server=${s%:*} id=${s#*:}
  # Checked right before acting: its information asked after the question, before its logoff.
  grep -P "^WTS(QuerySessionInformationW\tserver=$server\t.*session=$id\tclass=24\t|LogoffSession\tserver=$server\t.*session=$id\t)" \
    <<<"$after" | head -n 1 | grep -q '^WTSQuerySessionInformationW' || e2e_fail "session $id of $server was not checked first"
done
e2e_key Escape
e2e_stop
echo "e2e costs: ok"
