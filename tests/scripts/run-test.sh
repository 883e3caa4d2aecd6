#!/usr/bin/env bash
# run-test.sh SCRIPTS_RUN PROGRAM SIGNAL: starts scripts/run (no build) on PROGRAM with a DISPLAY
# that does not answer and no XDG_RUNTIME_DIR, waits for the program's launch, sends SIGNAL to
# the script, and checks that the program and the X server are gone, that the only folder left
# in TMPDIR is the per-user runtime folder, with nothing in it, and that Qt had a runtime folder.
set -uo pipefail
run="$1" program="$2" signal="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; echo "--- output"; cat "$scratch/out"; exit 1; }

mkdir -p "$scratch/tmp" "$scratch/home"
# Job control: a background job of a script otherwise starts with SIGINT ignored, as a terminal's
# Ctrl-C never finds it.
set -m
env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97 \
  TMPDIR="$scratch/tmp" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" \
  RUN_NO_BUILD=1 RUN_PROGRAM="$program" "$run" >"$scratch/out" 2>&1 &
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
children="$(pgrep -P "$script" | tr '\n' ' ')"
[ -n "$children" ] || fail "no program or X server under the script"

kill -"$signal" "$script"
wait "$script"
status=$?
[ "$status" -ne 0 ] || fail "the script ended with 0 after SIG$signal"
sleep 0.5
for pid in $children; do
  kill -0 "$pid" 2>/dev/null && fail "process $pid ($(ps -o comm= -p "$pid")) still runs"
done
left="$(cd "$scratch/tmp" && find . -mindepth 1 -maxdepth 1 | sort | tr '\n' ' ')"
[ "$left" = "./corvane-runtime-$(id -u) " ] || fail "left in TMPDIR: $left"
stray="$(find "$scratch/tmp/corvane-runtime-$(id -u)" -mindepth 1 -not -type d)"
[ -z "$stray" ] || fail "left in the runtime folder: $stray"
grep -q "XDG_RUNTIME_DIR not set" "$scratch/out" && fail "Qt found no runtime folder"
echo "ok: SIG$signal stopped the program and Xvfb (script status $status)"
