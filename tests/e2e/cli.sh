#!/usr/bin/env bash
# The command-line companion end to end: tarvenix-cli.exe under Wine with the
# farm double beside it. Each command is run and its output read back (JSON
# with nlohmann-json and CSV with the program's own reader, through the native
# cli_output_check); exit codes for a farm with a server switched off; the
# double's action log for the commands that change sessions; bad input ends
# with code 2 before any call. Needs no display.
#   cli.sh BIN_DIR WINEPREFIX OUT_DIR
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "$1" && pwd)
export WINEPREFIX=$(cd "$2" && pwd)
CHECK=${TARVENIX_NATIVE_BIN:-$ROOT/build/native/bin}/cli_output_check
[ -x "$CHECK" ] || { echo "cli.sh: $CHECK is missing (build the native tree first)" >&2; exit 1; }
export WINEDEBUG=-all LC_ALL=ru_RU.UTF-8 WINEDLLOVERRIDES='mscoree,mshtml=;wtsapi32=n,b'
APP=$(mktemp -d /tmp/tarvenix-cli.XXXXXX)
trap 'rm -rf "$APP"' EXIT
cp "$BIN/tarvenix-cli.exe" "$BIN/wtsapi32.dll" "$APP/"
cp "$ROOT/tests/e2e/cli-farm.json" "$APP/farm.json"
LOG=$APP/farm-actions.log

fail() {
  echo "CLI E2E FAILED: $*" >&2
  for f in out err; do [ -f "$APP/$f" ] && { echo "--- $f ---" >&2; cat "$APP/$f" >&2; }; done
  exit 1
}
# cli EXPECTED_CODE ARGS...: runs the program (stdin not a console), output in $APP/out and $APP/err.
cli() {
  local expected=$1 code=0
  shift
  rm -f "$LOG"
  (cd "$APP" && wine ./tarvenix-cli.exe "$@" >"$APP/out" 2>"$APP/err" </dev/null) || code=$?
  [ "$code" = "$expected" ] || fail "tarvenix-cli $*: exit code $code, expected $expected"
}
expect_same() {  # expect_same WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || fail "$1: expected
$2
got
$3"
}
logged() { [ -f "$LOG" ] && grep -cP -- "$1" "$LOG" || echo 0; }

# sessions over the farm: GONE fails (stderr, exit 1), the rest is printed.
cli 1 sessions CLI1 CLI2 GONE --format json
grep -q '^GONE: ' "$APP/err" || fail "no error line for GONE"
expect_same "sessions as JSON" "CLI1 | 2 | ivanov | Active | 20
CLI1 | 3 | Петрова | Disconnected | 183600
CLI1 | 5 | petrenko | Active | 7200
CLI2 | 4 | ПЕТРОВ | Active | 90000
CLI2 | 6 | sidorov | Disconnected | 60" "$("$CHECK" json "$APP/out" server id user state idle_seconds)"
expect_same "logon times" "2026-12-10T08:15:00Z
null" "$("$CHECK" json "$APP/out" logon_time | sed -n '1p;3p')"
grep -q '"client": "БУХ;ПК \\"7\\""' "$APP/out" || fail "the client name with a quote is not escaped as JSON"

# A server that lists its sessions and then leaves one unanswered: the command
# still ends by its time-out (plus Wine's start), exit 1, the server named on
# stderr, the sessions that answered printed (the good server's, and the stuck
# server's other session).
started=$(date +%s%N)
cli 1 sessions STUCK CLI1 --timeout 2 --format json
took=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$took" -lt 12000 ] || fail "sessions with a stuck server took $took ms with --timeout 2 (at most 12000)"
grep -q 'Сервер STUCK не ответил за 2 с\.' "$APP/err" || fail "no time-out line for STUCK"
[ "$(grep -c . "$APP/err")" = 1 ] || fail "only STUCK failed"
expect_same "sessions beside a stuck server" "STUCK | 8 | bystrova
CLI1 | 2 | ivanov
CLI1 | 3 | Петрова
CLI1 | 5 | petrenko" "$("$CHECK" json "$APP/out" server id user)"

# From a UTF-16 file of servers (as the TXT button reads it), CSV, filtered.
printf '\xff\xfe' >"$APP/servers.txt"
printf 'CLI1\r\nCLI2\r\n' | iconv -f utf-8 -t utf-16le >>"$APP/servers.txt"
cli 0 sessions --from-file servers.txt --format csv --state disconnected
expect_same "disconnected sessions as CSV" "ID | Учетная запись | Имя компьютера | IP адрес | Состояние сессии | Сессия | Сервер | Бездействие
3 | Петрова | БУХ;ПК \"7\" | 10.0.0.17 | Disconnected |  | CLI1 | 2+03:00
6 | sidorov | PC-66 |  | Disconnected |  | CLI2 | 1" "$("$CHECK" csv "$APP/out" ';' | awk -F' [|] ' -v OFS=' | ' '{NF=8; print}')"
[ "$(head -c 3 "$APP/out" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || fail "CSV without the UTF-8 mark of the window's export"

# The history beside the program (serverslist.txt, ANSI here) after a typed
# name: each server once, in the order of the sources. Without a history:
# exit 2, the file named, no server asked.
printf 'CLI2\r\nCLI1\r\n' >"$APP/serverslist.txt"
cli 0 sessions CLI1 --from-history --format json
expect_same "typed and history" "CLI1 | 2
CLI1 | 3
CLI1 | 5
CLI2 | 4
CLI2 | 6" "$("$CHECK" json "$APP/out" server id)"
# Names piped in ("--from-file -"), as a script passes them: read to the end
# of the input, each server once, in the order given.
rm -f "$LOG"
printf 'CLI2\r\nCLI1\r\ncli2\r\n' | (cd "$APP" && wine ./tarvenix-cli.exe sessions --from-file - --format json \
  >"$APP/out" 2>"$APP/err") || fail "sessions --from-file - (names piped in) failed"
expect_same "piped servers" "CLI2 | 4
CLI2 | 6
CLI1 | 2
CLI1 | 3
CLI1 | 5" "$("$CHECK" json "$APP/out" server id)"
rm "$APP/serverslist.txt"
cli 2 sessions CLI1 --from-history
grep -q '^tarvenix-cli: Cannot open file ".*serverslist\.txt"' "$APP/err" || fail "a missing history is not named"
[ ! -f "$LOG" ] || [ "$(logged '^WTS')" = 0 ] || fail "a missing history still asked the servers"

# --output: the listing goes to the file (replaced whole), not to standard
# output; UTF-8 whatever the console's code page: JSON without the mark, CSV
# and the table with it. A server that fails is still named on stderr.
cli 1 sessions CLI1 GONE --format json --output sessions.json
[ ! -s "$APP/out" ] || fail "--output still printed the listing"
grep -q '^GONE: ' "$APP/err" || fail "--output: no error line for GONE"
[ "$(head -c 1 "$APP/sessions.json")" = '[' ] || fail "the JSON file does not start with its array (a mark?)"
expect_same "sessions.json" "CLI1 | 2 | ivanov
CLI1 | 3 | Петрова
CLI1 | 5 | petrenko" "$("$CHECK" json "$APP/sessions.json" server id user)"
cli 0 sessions CLI2 --user sidorov --format json --output sessions.json
expect_same "sessions.json replaced" "CLI2 | 6 | sidorov" "$("$CHECK" json "$APP/sessions.json" server id user)"
cli 0 processes CLI1 --session 02 --timeout 010 --format csv --output 'процессы.csv'
[ "$(head -c 3 "$APP/процессы.csv" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || fail "the CSV file has no UTF-8 mark"
expect_same "процессы.csv" "Сервер | ID сессии | Название процесса | PID | Память, байт | Пик памяти, байт | Подкачка, байт | Потоки | Дескрипторы | Время пользователя, с | Время ядра, с | SID | Пользователь
CLI1 | 2 | explorer.exe | 2000 | 67108864 | 67108864 | 0 | 40 | 900 | 30.000 | 4.000 | S-1-5-21-1-2-3-1001 | S-1-5-21-1-2-3-1001
CLI1 | 2 | Отчёт.exe | 2004 | 0 | 0 | 0 | 1 | 0 | 0.000 | 0.000 |  | " "$("$CHECK" csv "$APP/процессы.csv" ';')"
cli 0 sessions CLI2 --output table.txt
[ "$(head -c 3 "$APP/table.txt" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || fail "the table file has no UTF-8 mark"
grep -q 'ПЕТРОВ' "$APP/table.txt" || fail "the table file lacks ПЕТРОВ in UTF-8"
# A file that cannot be written: exit 1, the file and the system's text named,
# an existing file left as it was, no temporary file left behind.
cli 1 sessions CLI1 --output 'нет/s.json'
grep -qP '^Не удалось записать файл "[A-Z]:\\.*\\нет\\s\.json": .+ \(\d+\)\r?$' "$APP/err" ||
  fail "the failed file is not named with its full path"
cp "$APP/sessions.json" "$APP/before.json"
chmod a-w "$APP/sessions.json"
cli 1 sessions CLI1 CLI2 --format json --output sessions.json
grep -qP '^Не удалось записать файл "[A-Z]:\\.*\\sessions\.json": .+ \(\d+\)\r?$' "$APP/err" ||
  fail "a read-only file is not named"
chmod u+w "$APP/sessions.json"
cmp -s "$APP/before.json" "$APP/sessions.json" || fail "a failed write changed the file"
ls "$APP" | grep -q '\.tmp$' && fail "a temporary file was left: $(ls "$APP")"

# The table, filtered by user (any case, Cyrillic) and idle time.
cli 0 sessions CLI1 CLI2 --user ПЕТР --idle-over 1d
grep -q 'ПЕТРОВ' "$APP/out" || fail "ПЕТРОВ (idle a day and more) is missing"
grep -q 'Петрова' "$APP/out" || fail "Петрова (disconnected 2 days) is missing"
grep -q 'petrenko' "$APP/out" && fail "petrenko is Latin: 'ПЕТР' does not find him"
[ "$(grep -c . "$APP/out")" = 4 ] || fail "expected a header, a rule and two rows"

# processes of one session.
cli 0 processes CLI1 --session 2 --format json
expect_same "processes" "2 | 2000 | explorer.exe
2 | 2004 | Отчёт.exe" "$("$CHECK" json "$APP/out" session pid name)"

# The processes' figures as JSON numbers (memory in bytes, times in seconds),
# from the one extended listing.
cli 0 processes CLI1 --format json
expect_same "process figures" "2000 | 67108864 | 40 | 900 | 30.0 | 4.0 | S-1-5-21-1-2-3-1001
2004 | 0 | 1 | 0 | 0.0 | 0.0 | null
3000 | 0 | 1 | 0 | 0.0 | 0.0 | null" \
  "$("$CHECK" json "$APP/out" pid working_set_bytes threads handles user_seconds kernel_seconds sid)"
[ "$(logged '^WTSEnumerateProcessesExW\tserver=CLI1\t.*level=1\t.*result=1')" = 1 ] || fail "not one extended listing"
[ "$(logged '^WTSFreeMemoryExW\tclass=1\tentries=3\t.*result=1')" = 1 ] || fail "the extended listing was not freed"

# One session in detail.
cli 0 session CLI1 3 --format json
grep -q '"id": 3, "user": "Петрова"' "$APP/out" || fail "session 3 is not Петрова's"
grep -q '"process_count": 1}' "$APP/out" || fail "the session's processes were not counted"
cli 0 session CLI1 3
grep -q '^Процессов  *1' "$APP/out" || fail "the table lacks the process count"
cli 1 session CLI1 99
grep -q '^CLI1: 99: ' "$APP/err" || fail "a missing session is not named"

# The clean-up rule: --dry-run prints what it would log off and calls no
# logoff; with --yes the one matching session (Петрова, disconnected 51 h;
# sidorov only for a minute) is checked and logged off.
cli 0 logoff --disconnected-over 8h CLI1 CLI2 --dry-run --format json
expect_same "dry run" "CLI1 | 3 | Петрова | 183600" "$("$CHECK" json "$APP/out" server id user disconnected_seconds)"
! grep -qP '^WTSLogoffSession\t' "$LOG" || fail "--dry-run logged a session off"
cli 0 logoff --disconnected-over 2d --user петр CLI1 CLI2 --dry-run
grep -q 'Петрова' "$APP/out" || fail "the table of a dry run lacks Петрова"
cli 0 logoff --disconnected-over 3d CLI1 CLI2 --dry-run --format json
expect_same "nothing over 3 days" "" "$("$CHECK" json "$APP/out" server id)"
cli 2 logoff --disconnected-over 8h CLI1 CLI2
! grep -qP '^WTSLogoffSession\t' "$LOG" || fail "an unconfirmed rule logged a session off"
cli 0 logoff --disconnected-over 8h CLI1 CLI2 --yes --format json
expect_same "rule logoffs" "CLI1 | 3 | true" "$("$CHECK" json "$APP/out" server id ok)"
[ "$(logged '^WTSLogoffSession\tserver=CLI1\t.*session=3\t.*result=1')" = 1 ] || fail "Петрова was not logged off"
[ "$(logged '^WTSLogoffSession\t')" = 1 ] || fail "other sessions were logged off"
[ "$(grep -P '^WTS(QuerySessionInformationW\tserver=CLI1\t.*session=3\tclass=24|LogoffSession)' "$LOG" | tail -n 2 | head -n 1 | cut -f1)" = WTSQuerySessionInformationW ] \
  || fail "the session was not checked right before its logoff"

# logoff with --yes: the calls in the action log; without it and without a
# console to ask on: code 2 and no call.
cli 0 logoff CLI1 2 5 --yes
[ "$(logged '^WTSLogoffSession\tserver=CLI1\t.*session=2\t.*result=1')" = 1 ] || fail "session 2 was not logged off"
[ "$(logged '^WTSLogoffSession\tserver=CLI1\t.*session=5\t.*result=1')" = 1 ] || fail "session 5 was not logged off"
[ "$(logged '^WTSLogoffSession\t')" = 2 ] || fail "other logoffs were made"
cli 2 logoff CLI1 3
grep -q -- '--yes' "$APP/err" || fail "the refusal does not say how to confirm"
[ ! -f "$LOG" ] || [ "$(logged '^WTS(Logoff|Open)')" = 0 ] || fail "a refused logoff still called the server"

# disconnect, message, kill.
cli 0 disconnect CLI2 6 --yes --format json
expect_same "disconnect" "CLI2 | 6 | true" "$("$CHECK" json "$APP/out" server id ok)"
[ "$(logged '^WTSDisconnectSession\tserver=CLI2\t.*session=6\t.*result=1')" = 1 ] || fail "no disconnect in the log"
cli 0 message CLI2 4 6 --title 'Работы' --text 'Перезагрузка в 22:00'
[ "$(logged '^WTSSendMessageW\tserver=CLI2\t')" = 2 ] || fail "the messages did not go to both sessions"
cli 0 kill CLI1 2004 -y
[ "$(logged '^WTSTerminateProcess\tserver=CLI1\t.*2004')" = 1 ] || fail "process 2004 was not terminated"

# A failing session: exit 1, the system's text on stderr, the rest still done.
cli 1 logoff CLI1 3 99 --yes --format csv
grep -q '^CLI1: 99: ' "$APP/err" || fail "no error line for session 99"
[ "$(logged '^WTSLogoffSession\tserver=CLI1\t.*session=3\t.*result=1')" = 1 ] || fail "session 3 was not logged off"

# Bad input: code 2, a reason, the usage, and no call.
for bad in "sessions CLI1 --format xml" "logoff CLI1 abc --yes" "sessions --from-file missing.txt" \
           "kill CLI1 -y" "sessions CLI1 --idle-over 5x" "frobnicate CLI1" "processes CLI1 --timeout 0x10" \
           "logoff CLI1 +2 --yes --output x.json" "logoff --disconnected-over 8h" \
           "logoff --disconnected-over 8x CLI1" "logoff CLI1 3 --dry-run"; do
  # shellcheck disable=SC2086
  cli 2 $bad
  grep -q '^tarvenix-cli: ' "$APP/err" || fail "$bad: no one-line reason"
  [ ! -f "$LOG" ] || [ "$(logged '^WTS')" = 0 ] || fail "$bad: the server was called"
done
[ ! -e "$APP/x.json" ] || fail "a refused command line wrote its --output file"
cli 2 sessions CLI1 --parallel=0071
grep -qx 'tarvenix-cli: неверное значение --parallel: 0071 (нужно целое от 1 до 64)' "$APP/err" ||
  fail "--parallel=0071 is not refused as seventy-one with its range"
grep -q 'missing.txt' <(cd "$APP" && wine ./tarvenix-cli.exe sessions --from-file missing.txt 2>&1 </dev/null || true) \
  || fail "an unreadable file is not named"

# --help in Russian.
cli 0 --help
grep -q 'Использование' "$APP/out" || fail "the help is not in Russian"
echo "e2e cli: ok"
