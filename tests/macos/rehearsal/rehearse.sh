#!/usr/bin/env bash
# The macOS workflow's jobs run here, step by step as a runner runs them (workflow.py), in a
# scratch checkout whose scripts/ is this repository's, with stand-ins for Apple's tools on PATH
# (stand-in) and the bundle's Mach-O files linked by ld64.lld (../fake-bundle.sh). Then what the
# jobs must have done is checked. Exits 77 (skipped) without clang, lipo, openssl or PyYAML.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/macos/fake-bundle.sh
. "$here/../fake-bundle.sh"
command -v openssl >/dev/null || { echo "no openssl: skipped"; exit 77; }
python3 -c 'import yaml' 2>/dev/null || { echo "no python3 with yaml: skipped"; exit 77; }

export REHEARSAL="$work/r" LIPO="$lipo" REHEARSAL_QT="/Users/runner/work/_temp/Qt/6.8.3/macos"
f="$REHEARSAL/fixtures"
mkdir -p "$f" "$REHEARSAL/bin" "$work/checkout"
# The build tree's bundle (its run path into Qt's folder), the installed program, what
# macdeployqt adds, and corvane-e2e (trusted through the runner's agent).
widgets=@rpath/QtWidgets.framework/Versions/A/QtWidgets
linked "$f/build.app" Contents/MacOS/Corvane program -rpath "$REHEARSAL_QT/lib" -load "$widgets"
linked "$f" Corvane-installed program -rpath @executable_path/../Frameworks -load "$widgets"
linked "$f/deployed" "Contents/Frameworks/${widgets#@rpath/}" library -load /usr/lib/libSystem.B.dylib
linked "$f/deployed" Contents/PlugIns/platforms/libqcocoa.dylib library -load "$widgets"
qt_conf "$f/deployed"
version="$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")"
printf '<plist><dict>\n%s\n</dict></plist>\n' "$(printf '<key>%s</key>\n<string>%s</string>\n' \
  CFBundleExecutable Corvane CFBundleIdentifier app.corvane.Corvane \
  CFBundleShortVersionString "$version" LSMinimumSystemVersion 12.4)" >"$f/build.app/Contents/Info.plist"
# shellcheck disable=SC2016 # the program's own text
printf '#!/bin/sh\n[ "$1" != --table ] || echo "| Fn+C | pass |" >"$2"\n' >"$f/corvane-e2e"
chmod +x "$f/corvane-e2e"
for tool in cmake macdeployqt codesign csreq sqlite3 open arch hdiutil security xcrun spctl \
  plutil ditto sudo uname brew; do
  ln -s "$here/stand-in" "$REHEARSAL/bin/$tool"
done
ln -s "$repo/scripts" "$work/checkout/scripts"

# The secrets: a stable identity made by scripts/make-signing-identity, which also stands in for
# the Developer ID certificate.
"$repo/scripts/make-signing-identity" "$work/identity" >/dev/null
for kind in SELF_SIGNED DEVELOPER_ID; do
  export "REHEARSAL_SECRET_MACOS_${kind}_P12=$(cat "$work/identity/corvane-signing.p12.base64")"
  export "REHEARSAL_SECRET_MACOS_${kind}_P12_PASSWORD=$(cat "$work/identity/corvane-signing.password")"
done
export REHEARSAL_SECRET_MACOS_DEVELOPER_ID_IDENTITY="Developer ID Application: Corvane (AB12CD34EF)"
export REHEARSAL_SECRET_NOTARY_APPLE_ID=dev@corvane.app REHEARSAL_SECRET_NOTARY_TEAM_ID=AB12CD34EF
export REHEARSAL_SECRET_NOTARY_APP_PASSWORD=abcd-efgh-ijkl-mnop
export PATH="$REHEARSAL/bin:$PATH" CORVANE_RETRY_SECONDS=0 CORVANE_STAY_SECONDS=1

exec 3>&1
failures=0
check() { # check WHAT COMMAND...: one line of the result
  if "${@:2}" >/dev/null 2>&1; then echo "ok     $1"; else echo "FAILED $1"; failures=$((failures + 1)); fi
}
job() { # job NAME [NAME=VALUE...]: runs the job, its log in $work/NAME.log
  (cd "$work/checkout" && python3 "$here/workflow.py" run "$repo/.github/workflows/macos.yml" "$@") \
    >"$work/$1.log" 2>&1 || { cat "$work/$1.log" >&3; return 1; }
}
calls() { grep -q "$1" "$REHEARSAL/calls.log"; }
dmg="Corvane-$version.dmg"

check "image: built universal for macOS 12.4, staged with cmake --install, checked, imaged" job image
check "image: configured for arm64 and x86_64, macOS 12.4" \
  calls "^cmake -S . -B build/image .*arm64;x86_64 -DCMAKE_OSX_DEPLOYMENT_TARGET=12.4"
check "image: the staged bundle signed with the stable identity" \
  grep -q "^[0-9A-F]\{40\} build/stage/Corvane.app$" "$REHEARSAL/signed.log"
check "image: the image's program started as arm64 and as x86_64" \
  calls "^arch -x86_64 .*/Corvane.app/Contents/MacOS/Corvane --start-check"
check "image: the disk image uploaded" test -f "$REHEARSAL/artifacts/Corvane-dmg/$dmg"
check "image-intel: the image's program started natively on Intel" job image-intel
check "e2e: the app, started with open, reports trusted and translating" job e2e matrix.runner=macos-15
check "e2e: the bundle identifier's row with the compiled ad hoc requirement" \
  grep -q "^INSERT OR REPLACE INTO access VALUES('kTCCServiceAccessibility','app.corvane.Corvane',0,2,4,1,X'fade0c00" \
  "$REHEARSAL/tcc.sql"
check "e2e: the summary says the corvane-e2e rows decide nothing" \
  grep -q "decide nothing" "$REHEARSAL/runner-temp-e2e/summary.md"
check "signing: the Developer ID secrets are seen" grep -qx "available=true" <(job signing && cat "$work/signing.log")
check "notarize: signed, notarized, stapled and assessed" job notarize
check "notarize: the notarized image uploaded" test -f "$REHEARSAL/artifacts/Corvane-dmg-notarized/$dmg"
echo "$failures failed"
[ "$failures" -eq 0 ]
