#!/usr/bin/env bash
# Everyday work in the real program against the demo farm: the idle and logon
# columns (their times asked for, shown, ordered by a header click), the list
# saved as CSV through the save dialog (Ctrl+S) and read back, and the
# automatic refresh chosen from the keyboard, which lists the server again by
# itself keeping the selection, and is remembered.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm demo
e2e_start

e2e_get_data TS01
[ "$(e2e_count_log '^WTSQuerySessionInformationW\tserver=TS01\t.*\tclass=24\t.*result=1')" -ge 10 ] \
  || e2e_fail "the sessions' times were not asked for"
e2e_screenshot e2e-idle-logon-columns

# A click on the header of "Бездействие" orders the rows by idle time (the
# time, not the text: "1:05" after "45"), sessions without a time last; the
# saved list below shows the order.
e2e_click 658 152
EXPECTED_IDLE_ORDER='. . . 1 2 5 10 25 45 1:05 1:30 3:25 2+03:00 '

# save_list PATH: Ctrl+S, the save dialog, the file name typed as a Windows path.
save_list() {
  e2e_key ctrl+s
  e2e_wait_window '^Сохранить список$' 20 >/dev/null || e2e_fail "the save dialog did not open"
  sleep 1
  e2e_type "Z:$(printf '%s' "$1" | tr '/' '\\')"
  e2e_key Return
  for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.2; done
  [ -s "$1" ] || e2e_fail "the list was not saved to $1"
}
csv="$E2E_APP/list.csv"
save_list "$csv"
[ "$(head -c 3 "$csv" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || e2e_fail "the CSV has no UTF-8 mark"
head -n 1 "$csv" | grep -q $'^\xef\xbb\xbfID;Учетная запись;Имя компьютера;IP адрес;Состояние сессии;Сессия;Бездействие;Вход\r$' \
  || e2e_fail "the CSV header is not the list's: $(head -n 1 "$csv")"
rows=$(grep -c $'\r$' "$csv")
[ "$rows" = 14 ] || e2e_fail "expected a header and 13 rows, found $rows lines"
grep -q $'^2;ivanov;PC-01;10.0.0.5;Active;RDP-Tcp#3;' "$csv" || e2e_fail "the row of session 2 is not in the CSV"
grep -q 'Петрова;БУХ-ПК-07' "$csv" || e2e_fail "Cyrillic cells did not survive"
idle_order=$(tail -n +2 "$csv" | cut -d';' -f7 | tr -d '\r' | tr '\n' ' ')
[ "$idle_order" = "$EXPECTED_IDLE_ORDER" ] || e2e_fail "not ordered by idle time: $idle_order"

# By logon time: a click on the header of "Вход" (its visible left part),
# saved again; the session with a fixed logon time in March comes first.
e2e_click 712 152
csv2="$E2E_APP/by-logon.csv"
save_list "$csv2"
logon_order=$(tail -n +2 "$csv2" | cut -d';' -f1 | tr '\n' ' ')
[ "$logon_order" = '12 1 4 11 3 9 13 6 14 2 10 7 5 ' ] || e2e_fail "not ordered by logon time: $logon_order"

# The automatic refresh keeps the selection: the first row (session 12) is
# selected, then Tab from the list past the specified controls and "Все
# серверы" to the chooser, "15 с"; the server is listed again without Get data.
e2e_key Home
e2e_key Tab Tab Tab Tab Tab Tab Down
e2e_wait_refresh TS01
e2e_screenshot e2e-auto-refresh
# Back to the list (past the find box) and "Отключить сессию (-и)" / "Вы
# уверены?": it goes to the session still selected after the refresh.
e2e_key Tab Tab
e2e_key shift+F10 Down Down Down Down Down Right Return
e2e_wait_log '^WTSDisconnectSession\tserver=TS01\t.*session=12\t'
e2e_answer_box
e2e_expect_count '^WTSDisconnectSession\t' 1
e2e_stop
grep -aq 'refresh seconds=15' "$E2E_APP/settings.ini" || e2e_fail "the refresh choice was not remembered"
echo "e2e everyday: ok"
