#!/usr/bin/env bash
# A message to two selected sessions: the message window opened from the
# session list's context menu, subject and text typed (Cyrillic), Send; the
# double receives one message per session with the texts and byte lengths intact.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_json '{"servers": [{"name": "TS01", "sessions": [
  {"id": 2, "state": 0, "user": "ivanov", "client": "PC-01", "winstation": "RDP-Tcp#1", "ipv4": "10.0.0.5"},
  {"id": 3, "state": 0, "user": "Петрова", "client": "PC-02", "winstation": "RDP-Tcp#2"}]}]}'
e2e_start

e2e_get_data TS01
e2e_key Home shift+End          # both rows selected
e2e_key shift+F10               # the context menu
e2e_key Down Down Down Return   # "Отправить сообщение"
wid=$(e2e_wait_window '^Отправка сообщения$' 20) || e2e_fail "the message window did not open"
sleep 0.5
e2e_key Tab                     # send button -> subject
e2e_type 'Тема тест'
e2e_key Tab                     # -> message text
e2e_type 'Добрый день'
e2e_key Tab                     # on round to "Отправить"
e2e_key space
e2e_wait_log '^WTSSendMessageW\tserver=TS01\t.*session=3\t'
e2e_expect_count '^WTSSendMessageW\t' 2
for s in 2 3; do
  line=$(grep -P "^WTSSendMessageW\tserver=TS01\t.*session=$s\t" "$E2E_LOG")
  for field in 'title=Тема тест' 'title_bytes=18' 'message=Добрый день' 'message_bytes=22' 'style=0' 'timeout=0' 'wait=0' 'result=1'; do
    printf '%s\n' "$line" | grep -qP "\t$field(\t|$)" || e2e_fail "session $s: no field '$field' in: $line"
  done
done
e2e_screenshot e2e-message-window
xdotool windowactivate --sync "$wid" 2>/dev/null || true
e2e_key alt+F4                  # closes the message window only
sleep 1
e2e_stop
echo "e2e message: ok"
