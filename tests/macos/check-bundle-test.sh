#!/usr/bin/env bash
# scripts/check-bundle against small bundles made here (fake-bundle.sh). Each case names what
# the bundle holds, the exit status expected and a piece of the expected output. Exits 77
# (skipped) without clang or lipo.
set -euo pipefail
check_bundle="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-bundle"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/macos/fake-bundle.sh
. "$(dirname "$0")/fake-bundle.sh"

failures=0
# expect NAME STATUS TEXT: runs check-bundle on the bundle NAME built by the caller.
expect() {
  local name="$1" status="$2" text="$3" out rc=0
  out="$("$check_bundle" "$work/$name.app" 2>&1)" || rc=$?
  if [ "$rc" -ne "$status" ] || [[ "$out" != *"$text"* ]]; then
    echo "FAILED $name: exit $rc (want $status), output without \"$text\":"
    echo "$out"
    failures=$((failures + 1))
  else
    echo "ok     $name"
  fi
}

app="$work/universal.app"
add_file "$app" Contents/MacOS/Corvane arm64:12.4 x86_64:12.4
add_file "$app" Contents/Frameworks/QtCore.framework/Versions/A/QtCore arm64:11.0 x86_64:10.15
add_file "$app" Contents/PlugIns/platforms/libqcocoa.dylib arm64:12.4 x86_64:12.4
echo "not Mach-O" >"$app/Contents/Resources.txt"
plist "$app" 12.4
qt_conf "$app"
expect universal 0 "all 3 Mach-O files"

# Qt would not find its platform plugin: no qt.conf, one that points elsewhere, no plugin.
cp -R "$app" "$work/no-qt-conf.app"
rm "$work/no-qt-conf.app/Contents/Resources/qt.conf"
expect no-qt-conf 1 "Contents/Resources/qt.conf: missing"
cp -R "$app" "$work/qt-conf-elsewhere.app"
qt_conf "$work/qt-conf-elsewhere.app" plugins
expect qt-conf-elsewhere 1 'qt.conf: [Paths] Plugins is "plugins", not PlugIns'
cp -R "$app" "$work/no-cocoa.app"
rm "$work/no-cocoa.app/Contents/PlugIns/platforms/libqcocoa.dylib"
expect no-cocoa 1 "libqcocoa.dylib: missing"

app="$work/arm-only-framework.app"
add_file "$app" Contents/MacOS/Corvane arm64:12.4 x86_64:12.4
add_file "$app" Contents/Frameworks/QtGui.framework/Versions/A/QtGui arm64:12.4
expect arm-only-framework 1 "QtGui: lacks x86_64"

app="$work/plugin-for-macos-13.app"
add_file "$app" Contents/MacOS/Corvane arm64:12.4 x86_64:12.4
add_file "$app" Contents/PlugIns/platforms/libqcocoa.dylib arm64:13.0 x86_64:12.4
expect plugin-for-macos-13 1 "libqcocoa.dylib: arm64 needs macOS 13.0, newer than 12.4"

app="$work/plist-for-macos-14.app"
add_file "$app" Contents/MacOS/Corvane arm64:12.4 x86_64:12.4
plist "$app" 14.0
expect plist-for-macos-14 1 "LSMinimumSystemVersion 14.0 is newer than 12.4"

mkdir -p "$work/empty.app/Contents"
expect empty 1 "no Mach-O file"

# Linked bundles, as macdeployqt may leave them. The program without a run path: dyld stops
# before main.
cases=8
if linked "$work/probe.app" probe program -load /usr/lib/libSystem.B.dylib 2>"$work/link.err"; then
  app="$work/no-rpath.app"
  linked "$app" "$(framework Core)" library -load /usr/lib/libSystem.B.dylib
  linked "$app" Contents/MacOS/Corvane program -load "$(qt Core)"
  expect no-rpath 1 "Contents/MacOS/Corvane: arm64 LC_LOAD_DYLIB $(qt Core): no LC_RPATH"

  # The program's run path serves the frameworks and a plugin that have none of their own (as
  # dyld's chain of loaders does); system libraries, weak or re-exported, are fine.
  app="$work/rpath.app"
  linked "$app" "$(framework Core)" library -weak /System/Library/Frameworks/AppKit.framework/AppKit
  linked "$app" "$(framework Gui)" library -reexport "$(qt Core)"
  linked "$app" Contents/PlugIns/platforms/libqcocoa.dylib library -load "$(qt Gui)" \
    -weak @loader_path/../../Frameworks/QtCore.framework/Versions/A/QtCore
  linked "$app" Contents/MacOS/Corvane program -rpath @executable_path/../Frameworks \
    -load "$(qt Gui)" -load /usr/lib/libc++.1.dylib
  plist "$app" 12.4
  qt_conf "$app"
  expect rpath 0 "all 4 Mach-O files"

  # A library of the build machine: Homebrew's, weakly, from a plugin.
  app="$work/homebrew.app"
  linked "$app" Contents/PlugIns/imageformats/libqjpeg.dylib library \
    -weak /opt/homebrew/opt/jpeg-turbo/lib/libjpeg.8.dylib
  linked "$app" Contents/MacOS/Corvane program -load /usr/lib/libSystem.B.dylib
  expect homebrew 1 "libqjpeg.dylib: x86_64 LC_LOAD_WEAK_DYLIB /opt/homebrew/opt/jpeg-turbo/lib/libjpeg.8.dylib: outside the bundle and the system"

  # A run path left pointing at Qt's installation: the framework is not found in the bundle.
  app="$work/qt-install-rpath.app"
  linked "$app" "$(framework Widgets)" library -load /usr/lib/libSystem.B.dylib
  linked "$app" Contents/MacOS/Corvane program -rpath /Users/runner/Qt/6.8.3/macos/lib \
    -load "$(qt Widgets)"
  expect qt-install-rpath 1 "LC_LOAD_DYLIB $(qt Widgets): no run path leads into the bundle (tried: /Users/runner/Qt/6.8.3/macos/lib)"

  # A plugin that names a framework the bundle lacks, through @loader_path.
  app="$work/missing-framework.app"
  linked "$app" Contents/PlugIns/styles/libqmacstyle.dylib library \
    -load @loader_path/../../Frameworks/QtSvg.framework/Versions/A/QtSvg
  linked "$app" Contents/MacOS/Corvane program -rpath @executable_path/../Frameworks
  expect missing-framework 1 "libqmacstyle.dylib: arm64 LC_LOAD_DYLIB @loader_path/../../Frameworks/QtSvg.framework/Versions/A/QtSvg: no such file in the bundle"
  cases=$((cases + 5))
else
  echo "FAILED: cannot link a Mach-O program (ld64.lld is in the package lld):"
  cat "$work/link.err"
  failures=$((failures + 1))
fi

echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
