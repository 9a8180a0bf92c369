#!/usr/bin/env bash
# Live mode in the real program: the farm view of five servers, watched for
# session events. On the third server one user logs on and another logs off
# (the farm file written anew); both show without a key press, the first
# server's selected session stays selected (the logoff that follows reaches
# it), and closing the window leaves no handle, buffer or wait of the double
# open. Then the command line's watch: the current sessions, then a JSON line
# per change, read back.
source "$(dirname "$0")/lib.sh"
e2e_setup "$@"
e2e_farm_file farm-view.json
# farm3_change ID SESSION_JSON: on FARM3 the session ID logs off and the one
# given logs on; the farm file is written anew in one step.
farm3_change() {
  python3 - "$E2E_APP/farm.json" "$1" "$2" <<'PY'
import json, sys
path, gone, new = sys.argv[1], int(sys.argv[2]), json.loads(sys.argv[3])
farm = json.load(open(path, encoding="utf-8"))
farm3 = next(s for s in farm["servers"] if s["name"] == "FARM3")
farm3["sessions"] = [s for s in farm3["sessions"] if s["id"] != gone] + [new]
json.dump(farm, open(path + ".new", "w", encoding="utf-8"), ensure_ascii=False)
PY
  mv "$E2E_APP/farm.json.new" "$E2E_APP/farm.json"
}
printf 'FARM1\r\nFARM2\r\nFARM3\r\nFARM4\r\nFARM5\r\n' >"$E2E_APP/serverslist.txt"
# Live mode was chosen last time (remembered in [options]).
printf '[options]\r\nlive=1\r\n' >"$E2E_APP/settings.ini"
e2e_start

# "Все серверы": the five servers listed, then each watched.
e2e_key Tab space
for n in 1 2 3 4 5; do e2e_wait_log "^WTSEnumerateSessionsW\tserver=FARM$n\t.*result=1"; done
sleep 3
# The list (Tab from the find box wraps to it), its first row (FARM1, kozlov) selected.
e2e_key ctrl+f Tab Home
e2e_expect_count '^WTSEnumerateSessionsW\tserver=FARM3\t' 1

# On FARM3 Белов (9) logs off and Орлов (11) logs on.
farm3_change 9 '{"id": 11, "state": 0, "user": "Орлов", "client": "PC-311", "winstation": "RDP-Tcp#3"}'
e2e_wait_log '^TarvenixFarmReload\t.*result=1'
# FARM3 alone is listed again, and the new session read.
e2e_wait_log "^WTSQuerySessionInformationW\tserver=FARM3\t.*session=11\t.*class=5\t.*result=1"
sleep 2
e2e_expect_count '^WTSEnumerateSessionsW\tserver=FARM3\t' 2
for n in 1 2 4 5; do e2e_expect_count "^WTSEnumerateSessionsW\tserver=FARM$n\t" 1; done
e2e_screenshot e2e-live

# The selection stayed on FARM1's kozlov: the session menu's logoff reaches him.
e2e_key shift+F10 Down Right Return
e2e_wait_log '^WTSLogoffSession\tserver=FARM1\t.*session=2\t.*result=1'
e2e_answer_box
e2e_stop
e2e_wait_log '^TarvenixFarmExit\topen_handles=0\tbuffers=0\twaits=0$' 5
grep -aq 'live=1' "$E2E_APP/settings.ini" || e2e_fail "live mode is no longer remembered"

# The command line's watch: the current sessions of FARM3, then the two changes.
cp "$E2E_BIN/tarvenix-cli.exe" "$E2E_APP/"
e2e_farm_file farm-view.json
(cd "$E2E_APP" && exec wine ./tarvenix-cli.exe watch FARM3 --format json --count 2 --for 2m \
   >"$E2E_APP/watch.out" 2>"$E2E_APP/watch.err" </dev/null) &
WATCH=$!
for _ in $(seq 100); do [ "$(grep -c '"event": "current"' "$E2E_APP/watch.out" 2>/dev/null)" = 3 ] && break; sleep 0.2; done
sleep 2
farm3_change 5 '{"id": 12, "state": 0, "user": "Зайцев", "client": "PC-312", "winstation": "RDP-Tcp#4"}'
code=0
wait "$WATCH" || code=$?
[ "$code" = 0 ] || { cat "$E2E_APP/watch.err" >&2; e2e_fail "watch ended with $code"; }
python3 - "$E2E_APP/watch.out" <<'PY' || e2e_fail "the watch lines are not as expected: $(cat "$E2E_APP/watch.out")"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()]
got = [(l["event"], l["server"], l["id"], l["user"], l["state"], l["previous_state"]) for l in lines]
want = [("current", "FARM3", 5, "jsmith", "Active", None),
        ("current", "FARM3", 7, "Козлова", "Active", None),
        ("current", "FARM3", 9, "Белов", "Disconnected", None),
        ("logoff", "FARM3", 5, "jsmith", None, "Active"),
        ("logon", "FARM3", 12, "Зайцев", "Active", None)]
assert got == want, got
assert all(l["time"].endswith("Z") for l in lines)
PY
echo "e2e live mode and watch: ok"
