#!/usr/bin/env bash
# scripts/check-bundle against small bundles made here: Mach-O objects compiled by clang for
# each Mac and minimum macOS, joined by llvm-lipo. Each case names what the bundle holds, the
# exit status expected and a piece of the expected output. Exits 77 (skipped) without the tools.
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

echo "$((5 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
