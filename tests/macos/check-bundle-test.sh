#!/usr/bin/env bash
# scripts/check-bundle against small bundles made here: Mach-O objects compiled by clang for
# each Mac and minimum macOS, joined by llvm-lipo, and programs and libraries linked by ld64.lld
# (no SDK needed: nothing is linked from the system) with the load commands and run paths of each
# case. Each case names what the bundle holds, the exit status expected and a piece of the
# expected output. Exits 77 (skipped) without clang or lipo.
set -euo pipefail
check_bundle="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-bundle"

find_tool() {
  local name
  for name in "$@"; do
    command -v "$name" >/dev/null && { echo "$name"; return; }
  done
  return 1
}
clang="$(find_tool clang clang-19 clang-18 clang-17 clang-16 clang-15 clang-14)" || {
  echo "no clang: skipped"; exit 77; }
lipo="$(find_tool lipo llvm-lipo llvm-lipo-19 llvm-lipo-18 llvm-lipo-17 llvm-lipo-16 llvm-lipo-15 \
  llvm-lipo-14)" || { echo "no lipo or llvm-lipo: skipped"; exit 77; }

# ld64.lld off the Mac (clang finds it beside itself: /usr/lib/llvm-N/bin), the system's linker
# on a Mac.
fuse_ld="-fuse-ld=lld"
[ "$(uname -s)" = Darwin ] && fuse_ld=""

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo 'int corvane_probe(void) { return 1; }' >"$work/probe.c"
# slice ARCH MACOS: a thin Mach-O object for that Mac and minimum macOS.
slice() {
  local out="$work/slice-$1-$2.o"
  [ -f "$out" ] || "$clang" -target "$1-apple-macos$2" -c "$work/probe.c" -o "$out"
  echo "$out"
}
# file APP PATH SLICE...: a file of the bundle made of those slices ("arch:macos").
add_file() {
  local app="$1" path="$2"
  shift 2
  local slices=()
  for s in "$@"; do slices+=("$(slice "${s%%:*}" "${s#*:}")"); done
  mkdir -p "$(dirname "$app/$path")"
  if [ ${#slices[@]} -eq 1 ]; then
    cp "${slices[0]}" "$app/$path"
  else
    "$lipo" -create "${slices[@]}" -output "$app/$path"
  fi
}
plist() {
  mkdir -p "$1/Contents"
  printf '<plist><dict>\n<key>LSMinimumSystemVersion</key>\n<string>%s</string>\n</dict></plist>\n' \
    "$2" >"$1/Contents/Info.plist"
}

# Linked files, universal (arm64 and x86_64, macOS 12.4). A library loaded as NAME is linked
# against a stub library whose install name is NAME, so the load command reads NAME.
echo 'int main(void) { return 0; }' >"$work/main.c"
link() {
  local arch="$1"
  shift
  "$clang" -target "$arch-apple-macos12.4" $fuse_ld -nostdlib -Wl,-undefined,dynamic_lookup "$@"
}
stub() {
  local out
  out="$work/stubs/$(echo "$1" | tr -c 'A-Za-z0-9\n' _)"
  mkdir -p "$work/stubs"
  for arch in arm64 x86_64; do
    [ -f "$out-$arch" ] || link "$arch" -shared -o "$out-$arch" "$work/probe.c" \
      "-Wl,-install_name,$1"
  done
  echo "$out"
}
# linked APP PATH KIND ARGS...: KIND "program" or "library"; each ARGS is "-rpath PATH",
# "-load NAME", "-weak NAME" or "-reexport NAME".
linked() {
  local app="$1" path="$2" kind="$3" args=() arch
  shift 3
  while [ $# -gt 0 ]; do
    case "$1" in
      -rpath) args+=("-Wl,-rpath,$2") ;;
      -load) args+=("$(stub "$2")-ARCH") ;;
      -weak) args+=("-Wl,-weak_library,$(stub "$2")-ARCH") ;;
      -reexport) args+=("-Wl,-reexport_library,$(stub "$2")-ARCH") ;;
    esac
    shift 2
  done
  [ "$kind" = library ] && args+=(-shared "-Wl,-install_name,@rpath/$(basename "$path")")
  mkdir -p "$(dirname "$app/$path")"
  for arch in arm64 x86_64; do
    link "$arch" -o "$work/linked-$arch" "$work/main.c" "${args[@]//-ARCH/-$arch}" || return 1
  done
  "$lipo" -create "$work/linked-arm64" "$work/linked-x86_64" -output "$app/$path"
}
qt() { echo "@rpath/Qt$1.framework/Versions/A/Qt$1"; }
framework() { echo "Contents/Frameworks/Qt$1.framework/Versions/A/Qt$1"; }

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
echo "not Mach-O" >"$app/Contents/Resources.txt"
plist "$app" 12.4
expect universal 0 "all 2 Mach-O files"

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
cases=5
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
