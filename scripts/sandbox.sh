#!/usr/bin/env bash
# The Parley sandbox: the web service and gateway simulators on free loopback ports, the engine
# pointed at them with its home and address book in a fresh folder, sample data, and then the
# engine driven through qx as a user would, step by step. Prints what each step answered and a
# summary of what reached the gateway. Exit status 0 only when every step did what it should.
#
#   sandbox.sh [--short] [--keep] [--clean] [--ui] [--bin-dir DIR] [--out DIR]
#
# With --ui the engine launches parley-ui instead, and the sandbox waits, printing the address
# of the page, until the page ends the engine or Ctrl-C.
#
# Needs only bash and coreutils besides Parley's own programs (parley, qx, websim, gatesim,
# parley-sandbox-data), looked for in --bin-dir, else next to this script (an installed tree),
# else in build/ of the source tree.
set -uo pipefail

usage() {
  cat <<'EOF'
Usage: sandbox.sh [--short] [--keep] [--clean] [--ui] [--bin-dir DIR] [--out DIR]

  --short        fewer recipients and workbook rows (for CI)
  --keep         leave the simulators and the engine running afterwards, and print how to
                 connect with qx
  --clean        remove the sandbox folder when every step passed
  --ui           instead of the tour, the web UI: the engine launches parley-ui, whose address
                 is printed (and opened when there is a display); runs until the page ends the
                 engine or Ctrl-C
  --bin-dir DIR  folder holding parley, qx, websim, gatesim and parley-sandbox-data
  --out DIR      sandbox folder (default: BIN_DIR/sandbox-<timestamp>, or under $TMPDIR when
                 BIN_DIR is not writable); must not exist yet

Exit status: 0 when every step passed, 1 when a step failed, 2 for a usage or set-up error.
EOF
}

short=0
keep=0
clean=0
ui=0
bin_dir=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --short) short=1 ;;
    --keep) keep=1 ;;
    --clean) clean=1 ;;
    --ui) ui=1 ;;
    --bin-dir|--out)
      if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "sandbox: $1 needs a value" >&2; usage >&2; exit 2
      fi
      if [ "$1" = --bin-dir ]; then bin_dir="$2"; else out="$2"; fi
      shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "sandbox: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
has_programs() {
  local d="$1"
  [ -x "$d/parley" ] && [ -x "$d/qx" ] && [ -x "$d/websim" ] && [ -x "$d/gatesim" ] &&
    [ -x "$d/parley-sandbox-data" ]
}
if [ -z "$bin_dir" ]; then
  for candidate in "$script_dir" "$script_dir/../build"; do
    if has_programs "$candidate"; then bin_dir="$candidate"; break; fi
  done
fi
if [ -z "$bin_dir" ] || ! has_programs "$bin_dir"; then
  echo "sandbox: cannot find parley, qx, websim, gatesim and parley-sandbox-data" \
       "(build first, or pass --bin-dir)" >&2
  exit 2
fi
bin_dir="$(cd "$bin_dir" && pwd)"
PARLEY="$bin_dir/parley"
QX="$bin_dir/qx"
WEBSIM="$bin_dir/websim"
GATESIM="$bin_dir/gatesim"
SAMPLE_DATA="$bin_dir/parley-sandbox-data"

stamp="$(date +%Y%m%d-%H%M%S)"
if [ -z "$out" ]; then
  if [ -w "$bin_dir" ]; then
    out="$bin_dir/sandbox-$stamp"
  else
    out="${TMPDIR:-/tmp}/parley-sandbox-$stamp"
  fi
fi
if [ -e "$out" ]; then
  echo "sandbox: $out already exists" >&2
  exit 2
fi
mkdir -p "$out" || exit 2
out="$(cd "$out" && pwd)"

if [ "$short" -eq 1 ]; then
  recipients=100
  rows=60
else
  recipients=1000
  rows=300
fi

# --- processes -------------------------------------------------------------------------------

pids=()
cleanup() {
  if [ "$keep" -eq 0 ]; then
    for pid in "${pids[@]}"; do
      kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
      wait "$pid" 2>/dev/null
    done
  fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Waits until FILE has a line "... listening on ADDRESS:PORT" and prints PORT.
wait_for_port() {
  local file="$1" pid="$2" port=""
  for _ in $(seq 1 100); do
    port="$(sed -n 's/.*listening on [0-9.]*:\([0-9][0-9]*\).*/\1/p' "$file" 2>/dev/null | head -n 1)"
    if [ -n "$port" ]; then
      echo "$port"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# --- steps -----------------------------------------------------------------------------------

passed=0
failed=0
failures=()
step_no=0

# The command as a user would type it: the program without its folder, arguments with blanks
# quoted, long arguments shortened.
show_command() {
  local text="${1##*/}" arg
  shift
  for arg in "$@"; do
    if [ "${#arg}" -gt 80 ]; then arg="${arg:0:60}...(${#arg} characters)"; fi
    case "$arg" in
      *[[:space:]\<\>\[\]\(\)\;\&\|]*) text="$text '$arg'" ;;
      *) text="$text $arg" ;;
    esac
  done
  printf '%s' "$text"
}

# step "what it shows" expected_status command...: runs a command, prints its output indented,
# and counts the step as passed when the exit status is as expected.
step() {
  local title="$1" expected="$2"
  shift 2
  step_no=$((step_no + 1))
  echo
  echo "== $step_no. $title"
  echo "   \$ $(show_command "$@")"
  local output status started elapsed
  started="$(date +%s%N)"
  output="$("$@" 2>&1)"
  status=$?
  elapsed="$(( ($(date +%s%N) - started) / 1000000 ))"
  if [ -n "$output" ]; then
    # A progress line redrawn with carriage returns reads as one line per drawing here.
    printf '%s\n' "$output" | tr '\r' '\n' | sed -e '/^\x1b\[K$/d' -e 's/\x1b\[K//g' -e 's/^/   | /'
  fi
  LAST_OUTPUT="$output"
  if [ "$status" -eq "$expected" ]; then
    passed=$((passed + 1))
    printf '   ok (%d.%03d s)\n' $((elapsed / 1000)) $((elapsed % 1000))
    return 0
  fi
  failed=$((failed + 1))
  failures+=("$step_no. $title (exit status $status, expected $expected)")
  echo "   FAILED: exit status $status, expected $expected"
  return 1
}

# expect "what" text: the last step's output must contain text.
expect() {
  local what="$1" text="$2"
  case "$LAST_OUTPUT" in
    *"$text"*) return 0 ;;
  esac
  failed=$((failed + 1))
  failures+=("$step_no. $what: no \"$text\" in the answer")
  echo "   FAILED: $what: no \"$text\" in the answer"
  return 1
}

echo "Parley sandbox in $out"
echo "programs from $bin_dir"

# Sample data and the address book, before the engine opens it.
step "sample data: contacts, a workbook of $rows rows, a picture" 0 \
  "$SAMPLE_DATA" "$out/data" --rows "$rows"
step "address book: group 친구 (friends)" 0 "$QX" book --file "$out/QXBOOK.mdb" add-group 친구
step "address book: import friends" 0 \
  "$QX" book --file "$out/QXBOOK.mdb" import 친구 "$out/data/friends.csv"
step "address book: group 고객 (customers)" 0 "$QX" book --file "$out/QXBOOK.mdb" add-group 고객
step "address book: import customers" 0 \
  "$QX" book --file "$out/QXBOOK.mdb" import 고객 "$out/data/customers.csv"
step "address book: the groups" 0 "$QX" book --file "$out/QXBOOK.mdb" groups
group_members=$(( $(wc -l < "$out/data/friends.csv") + $(wc -l < "$out/data/customers.csv") ))

# The simulators and the engine.
"$WEBSIM" --port 0 >"$out/websim.out" 2>"$out/websim.log" &
pids+=($!)
web_port="$(wait_for_port "$out/websim.out" "${pids[-1]}")" || {
  echo "sandbox: websim did not start (see $out/websim.log)" >&2; exit 2; }
"$GATESIM" --port 0 --record "$out/gatesim-jobs.jsonl" >"$out/gatesim.log" 2>&1 &
pids+=($!)
gate_port="$(wait_for_port "$out/gatesim.log" "${pids[-1]}")" || {
  echo "sandbox: gatesim did not start (see $out/gatesim.log)" >&2; exit 2; }
ui_program=none
if [ "$ui" -eq 1 ]; then ui_program="$bin_dir/parley-ui"; fi
(cd "$out" && exec "$PARLEY" --link-port 0 --ui-program "$ui_program" --home "$out" \
   --web-base http://127.0.0.1 --web-port "$web_port" --gateway "127.0.0.1:$gate_port") \
  >"$out/engine.log" 2>&1 &
engine_pid=$!
pids+=("$engine_pid")
link_port="$(wait_for_port "$out/engine.log" "$engine_pid")" || {
  echo "sandbox: the engine did not start (see $out/engine.log)" >&2; exit 2; }
export QX_PORT="$link_port"
echo
echo "web service simulator on 127.0.0.1:$web_port, gateway simulator on 127.0.0.1:$gate_port,"
echo "engine on UI-link port $link_port (home $out)"

if [ "$ui" -eq 1 ]; then
  address=""
  for _ in $(seq 1 100); do
    address="$(sed -n 's/.*parley-ui: open \(http[^ ]*\).*/\1/p' "$out/engine.log" | head -n 1)"
    [ -n "$address" ] && break
    sleep 0.1
  done
  if [ -z "$address" ]; then
    echo "sandbox: parley-ui did not start (see $out/engine.log)" >&2
    exit 2
  fi
  echo
  echo "Open the web UI: $address"
  echo "Log in as qxuser / qxpass. Quit from the page, or press Ctrl-C here, to end."
  wait "$engine_pid"
  exit 0
fi

step "saved-id query: nothing saved yet" 0 "$QX" login --saved
expect "saved-id query" "no saved id"
step "login as qxuser, remembering the id" 0 "$QX" login qxuser qxpass --save
expect "login" "logged in as qxuser"
step "saved-id query: the id is remembered" 0 "$QX" login --saved
expect "saved-id query" "saved id: qxuser"
step "send check for $recipients short messages" 0 "$QX" check --count "$recipients" --kind sms
expect "send check" "the service allows the send"

numbers="$(seq -f '0105000%04g' 0 $((recipients - 1)) | paste -sd, -)"
step "direct SMS to $recipients recipients" 0 "$QX" send --to "$numbers" --callback 0212345678 \
  --title "샌드박스 안내" --text "안녕하세요, Parley 샌드박스에서 보내는 문자입니다."
expect "direct SMS" "성공적으로 전송되었습니다"

step "a wrong number is refused before anything is sent" 2 "$QX" send \
  --to "010-1234-5678,홍길동,010 5555 121" --callback 0212345678 --text "안내"
expect "refused number" "홍길동"

step "dry run: recipients normalised, duplicates removed, the check shown, nothing sent" 0 \
  "$QX" send --to "010-1234-5678;+82 10 1234 5678" --callback 02-1234-5678 --text "안내" --dry-run
expect "dry run" "1 duplicate"

step "MMS with a picture to 3 recipients" 0 "$QX" send --to 01060000001,01060000002,01060000003 \
  --callback 0212345678 --title "사진 메시지" --text "사진을 보내드립니다. 좋은 하루 보내세요!" \
  --image "$out/data/sample.jpg" --home "$out"
expect "MMS" "성공적으로 전송되었습니다"

step "group send to 친구 and 고객 plus one number" 0 "$QX" send --group 친구,고객 \
  --to 01099990000 --callback 0212345678 --text "[그룹 안내] 이번 주 모임은 금요일입니다."
expect "group send" "account:"

workbook="$out/data/recipients.xlsx"
template="[이름:6]님, [등급:4] 고객님께 [문구:20] 소식을 전합니다."
step "Excel: list the workbook's sheets" 0 "$QX" excel list "$workbook"
expect "Excel listing" "sheet 수신자: $rows rows"
step "Excel: distinct phone numbers" 0 "$QX" excel count 수신자 전화
expect "Excel count" "$rows"
step "Excel: preview of the personalised texts" 0 "$QX" excel preview 수신자 --phone 전화 \
  --callback 0212345678 --text "$template"
expect "Excel preview" "010-3000-0000"
step "Excel: personalised send to every row" 0 "$QX" excel send 수신자 --file "$workbook" \
  --phone 전화 --callback 0212345678 --title "엑셀 개인화" --text "$template"
expect "Excel send" "성공적으로 전송되었습니다"
excel_rows=$rows

step "status: the login, the engine, its address book and the last job (STATE)" 0 "$QX" status
expect "status" "ESEND"

# A second engine before a gateway that holds each acknowledgement 200 ms: a send long enough to
# watch, and one stopped with Ctrl-C. Its gateway keeps its own record.
mkdir -p "$out/slow"
"$GATESIM" --port 0 --ack-delay-ms 200 --record "$out/slow/gatesim-jobs.jsonl" \
  >"$out/slow/gatesim.log" 2>&1 &
pids+=($!)
slow_gate_port="$(wait_for_port "$out/slow/gatesim.log" "${pids[-1]}")" || {
  echo "sandbox: the slow gatesim did not start (see $out/slow/gatesim.log)" >&2; exit 2; }
(cd "$out/slow" && exec "$PARLEY" --link-port 0 --ui-program none --home "$out" \
   --web-base http://127.0.0.1 --web-port "$web_port" --gateway "127.0.0.1:$slow_gate_port") \
  >"$out/slow/engine.log" 2>&1 &
pids+=($!)
slow_port="$(wait_for_port "$out/slow/engine.log" "${pids[-1]}")" || {
  echo "sandbox: the second engine did not start (see $out/slow/engine.log)" >&2; exit 2; }
# A thousand recipients whatever the sandbox's size: about 4 s before this gateway.
slow_numbers="$(seq -f '0105100%04g' 0 999 | paste -sd, -)"
step "slow gateway: log in on the second engine" 0 env QX_PORT="$slow_port" "$QX" login qxuser qxpass
step "slow gateway: a send shows its progress (sent / total, rate, time left)" 0 \
  env QX_PORT="$slow_port" "$QX" send --to "$slow_numbers" --callback 0212345678 --text "진행 표시" \
  --progress always --yes
expect "progress line" "/s, "
step "slow gateway: Ctrl-C after a second cancels the send; exit status 130" 130 \
  env QX_PORT="$slow_port" timeout --preserve-status -s INT 1 "$QX" send --to "$slow_numbers" \
  --callback 0212345678 --text "취소할 안내" --progress always --yes

today="$(date +%Y-%m-%d)"
step "send results of today (SENDL)" 0 "$QX" results --from "$today" --to "$today"
expect "send results" "샌드박스 안내"
step "usage statistics (CASHL)" 0 "$QX" stats --from "$(date +%Y-%m)" --to "$(date +%Y-%m)"
expect "usage statistics" "$today"
step "logout (ENDQX 0)" 0 "$QX" logout
expect "logout" "logged out"

if [ "$keep" -eq 0 ]; then
  step "end the engine (ENDQX 1)" 0 "$QX" quit
  expect "quit" "engine ended"
  for _ in $(seq 1 50); do
    kill -0 "$engine_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$engine_pid" 2>/dev/null; then
    failed=$((failed + 1))
    failures+=("the engine still runs 5 s after ENDQX 1")
  fi
fi

# What reached the gateway. A job is recorded when the engine closes its connection.
expected_messages=$((recipients + 3 + group_members + 1 + excel_rows))
expected_jobs=$((3 + (excel_rows > 0 ? 1 : 0)))
summary=""
for _ in $(seq 1 50); do
  summary="$("$GATESIM" --summary "$out/gatesim-jobs.jsonl" --samples 2 2>&1)"
  case "$summary" in *"summary: jobs=$expected_jobs "*) break ;; esac
  sleep 0.1
done
echo
echo "== gateway simulator's record"
printf '%s\n' "$summary" | sed 's/^/   | /'
case "$summary" in
  *"summary: jobs=$expected_jobs messages=$expected_messages "*) ;;
  *)
    failed=$((failed + 1))
    failures+=("gateway record: expected $expected_jobs jobs and $expected_messages messages")
    echo "   FAILED: expected $expected_jobs jobs and $expected_messages messages"
    ;;
esac

echo
echo "== summary: $passed steps passed, $failed failed"
for f in "${failures[@]}"; do echo "   failed: $f"; done
echo "   folder: $out (engine.log, websim.log, gatesim.log, gatesim-jobs.jsonl)"

if [ "$keep" -eq 1 ]; then
  echo
  echo "Still running (stop them with: kill ${pids[*]}):"
  echo "   export QX_PORT=$link_port"
  echo "   $QX login qxuser qxpass"
  echo "   $QX send --to 01012345678 --text '안녕하세요'"
  echo "   $QX quit"
  echo "   $GATESIM --summary $out/gatesim-jobs.jsonl"
  trap - EXIT
fi

if [ "$failed" -ne 0 ]; then exit 1; fi
if [ "$clean" -eq 1 ]; then
  cleanup
  trap - EXIT
  rm -rf "$out"
fi
exit 0
