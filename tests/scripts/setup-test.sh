#!/usr/bin/env bash
# setup-test.sh SCRIPTS_SETUP: scripts/setup on Linux with stand-ins for dpkg-query (nothing is
# installed), sudo and apt-get (hundreds of lines; the install fails when APT_FAILS=1). apt's
# lines go to a log: a good install prints one line and leaves no log, a failed one says where
# the log is, and the log holds apt's lines.
set -uo pipefail
setup="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; echo "--- output"; cat "$scratch/out"; exit 1; }
mkdir -p "$scratch/bin" "$scratch/tmp"
printf '#!/bin/sh\nexit 1\n' >"$scratch/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$scratch/bin/sudo"
cat >"$scratch/bin/apt-get" <<'APT'
#!/bin/sh
for i in $(seq 300); do echo "apt line $i"; done
[ "$1" = install ] && [ "${APT_FAILS:-0}" = 1 ] && exit 100
exit 0
APT
chmod +x "$scratch/bin/"*
run() { env PATH="$scratch/bin:$PATH" TMPDIR="$scratch/tmp" APT_FAILS="$1" "$setup" >"$scratch/out" 2>&1; }

run 0 || fail "a good install ended with $?"
[ "$(wc -l <"$scratch/out")" -eq 1 ] || fail "a good install printed more than one line"
grep -q "^setup: installing " "$scratch/out" || fail "no summary line"
[ -z "$(ls -A "$scratch/tmp")" ] || fail "a good install left $(ls -A "$scratch/tmp")"

run 1 && fail "a failed install ended with 0"
log="$(sed -n 's/^setup: apt-get failed; its output is in //p' "$scratch/out")"
[ -n "$log" ] && [ -f "$log" ] || fail "no log named"
grep -q "apt line 300" "$log" || fail "the log lacks apt's lines"
grep -q "apt line" "$scratch/out" && fail "apt's lines reached the terminal"
echo "ok: apt's output went to a log, with one line on the terminal"
