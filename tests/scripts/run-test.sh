#!/usr/bin/env bash
# run-test.sh SCRIPTS_RUN PROGRAM MODE: starts scripts/run (no build) on PROGRAM with a DISPLAY
# that does not answer and no XDG_RUNTIME_DIR.
#   INT:  waits for the program's launch and sends SIGINT to the script's whole process group,
#         as a terminal's Ctrl-C does;
#   TERM: the same with SIGTERM to the script alone (kill);
# (meanwhile the program started directly must hand over to the running copy), then checks that
# the script ended with 0, that the program and the X server are gone, that the
# only folder left in TMPDIR is the per-user runtime folder, with nothing in it, and that Qt had
# a runtime folder.
#   help: --help, --version and a bad option are answered by the program at once, with no X
#         server and no runtime folder.
set -uo pipefail
run="$1" program="$2" mode="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; echo "--- output"; cat "$scratch/out"; exit 1; }

mkdir -p "$scratch/tmp" "$scratch/home"
start_run() {  # replaces the calling (sub)shell
  exec env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97 \
    TMPDIR="$scratch/tmp" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" \
    RUN_NO_BUILD=1 RUN_PROGRAM="$program" "$run" "$@" >"$scratch/out" 2>&1
}

if [ "$mode" = help ]; then
  for arg in --help --version; do
    (start_run "$arg") || fail "$arg: status $?"
    grep -q "virtual X server" "$scratch/out" && fail "$arg started an X server"
    [ "$(wc -l <"$scratch/out")" -ge 1 ] || fail "$arg printed nothing"
    [ -z "$(ls -A "$scratch/tmp")" ] || fail "$arg left $(ls -A "$scratch/tmp") in TMPDIR"
  done
  grep -q "^Corvane " "$scratch/out" || fail "--version did not print the version"
  (start_run --bogus) && fail "--bogus: status 0"
  grep -q "virtual X server" "$scratch/out" && fail "--bogus started an X server"
  grep -q "unknown option --bogus" "$scratch/out" || fail "--bogus: no usage error"
  echo "ok: --help, --version and --bogus answered without a display"
  exit 0
fi

# Job control: the script gets a process group of its own, as a terminal's foreground job does
# (and a background job of a script would otherwise start with SIGINT ignored).
set -m
start_run &
script=$!

launched=""
for _ in $(seq 200); do
  if [ -f "$scratch/home/config/autostart/corvane.desktop" ] ||
     grep -q "started from its build folder" "$scratch/out"; then launched=1; break; fi
  kill -0 "$script" 2>/dev/null || break
  sleep 0.1
done
[ -n "$launched" ] || fail "the program did not start"
grep -q "starting Corvane on a virtual X server" "$scratch/out" || fail "no fall-back to Xvfb"
# The program started directly from the same shell (no XDG_RUNTIME_DIR either) finds the copy
# scripts/run started, and hands over to it.
second="$(env -u XDG_RUNTIME_DIR QT_QPA_PLATFORM=offscreen TMPDIR="$scratch/tmp" \
  HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" timeout 20 "$program" 2>&1)"
grep -q "already running" <<<"$second" || fail "a direct start did not find the running copy: $second"
rm -rf "$scratch/tmp/runtime-$(id -un)"  # the one Qt made for it, having no runtime folder
children="$(pgrep -P "$script" | tr '\n' ' ')"
[ -n "$children" ] || fail "no program or X server under the script"
group="$(pgrep -g "$script" | tr '\n' ' ')"

case "$mode" in
  INT) kill -INT -- "-$script" ;;  # the whole process group, as the terminal does
  *) kill -"$mode" "$script" ;;
esac
wait "$script"
status=$?
[ "$status" -eq 0 ] || fail "the script ended with $status after SIG$mode (group: $group)"
grep -q "X11 connection broke" "$scratch/out" && fail "the X server went before the program"
sleep 0.5
for pid in $children; do
  kill -0 "$pid" 2>/dev/null && fail "process $pid ($(ps -o comm= -p "$pid")) still runs"
done
left="$(cd "$scratch/tmp" && find . -mindepth 1 -maxdepth 1 | sort | tr '\n' ' ')"
[ "$left" = "./corvane-runtime-$(id -u) " ] || fail "left in TMPDIR: $left"
stray="$(find "$scratch/tmp/corvane-runtime-$(id -u)" -mindepth 1 -not -type d)"
[ -z "$stray" ] || fail "left in the runtime folder: $stray"
grep -q "XDG_RUNTIME_DIR not set" "$scratch/out" && fail "Qt found no runtime folder"
echo "ok: SIG$mode stopped the program, then Xvfb; the script ended with 0"
