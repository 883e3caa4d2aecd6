#!/usr/bin/env bash
# Small Mach-O bundles for scripts/check-bundle's test and the release rehearsal (sourced):
# objects compiled by clang for each Mac and minimum macOS, joined by llvm-lipo, and programs and
# libraries linked by ld64.lld (no SDK needed: nothing is linked from the system) with the load
# commands and run paths of each case. The caller sets `work` (a scratch folder) first; without
# clang or lipo the caller exits 77 (skipped).
# shellcheck disable=SC2034,SC2154 # lipo and fuse_ld are the callers' too; work is theirs

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
# qt_conf APP [PLUGINS]: Contents/Resources/qt.conf as macdeployqt writes it (Qt's macdeployqt,
# createQtConf in qttools/src/macdeployqt/shared/shared.cpp), with Plugins = PLUGINS.
qt_conf() {
  mkdir -p "$1/Contents/Resources"
  printf '[Paths]\nPlugins = %s\nImports = Resources/qml\nQmlImports = Resources/qml\n' \
    "${2:-PlugIns}" >"$1/Contents/Resources/qt.conf"
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

