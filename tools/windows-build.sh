#!/usr/bin/env bash
# Cross-builds the system's own code (viewer/, screen/, graphics/) for
# Windows with mingw-w64 against the real SDK headers, so that any drift of
# the layer's API from the platform's fails. Links corvane.exe with the
# layer's own DirectDraw (platform/ddraw/ and the Windows host,
# platform/host/win32/) in place of the system's, which has no 24-bit modes
# on today's Windows: no import of ddraw.dll. Usage: windows-build.sh OUTDIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: windows-build.sh OUTDIR}"
mkdir -p "$out" && out="$(cd "$out" && pwd)"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"
command -v "$cxx" >/dev/null || { echo "windows-build: $cxx not found (package g++-mingw-w64-x86-64)" >&2; exit 1; }

mkdir -p "$out"
# Windows x64 keeps the stack 16-byte aligned, and gcc does not realign it
# for 32- and 64-byte vector spills in the AVX2 and AVX-512 loops: the
# assembler writes their aligned moves as unaligned ones.
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -I"$root" -DDIRECTINPUT_VERSION=0x0700 -Wa,-muse-unaligned-vector-move)
objects=()
screen_objects=()  # graphics/ and screen/, without the viewer's WinMain
for dir in graphics screen viewer; do
  for src in "$root/$dir"/*.cpp; do
    [ -e "$src" ] || continue
    obj="$out/$dir-$(basename "${src%.cpp}").o"
    "$cxx" "${flags[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
    [ "$dir" = viewer ] || screen_objects+=("$obj")
  done
done
echo "windows-build: compiled ${#objects[@]} files"

# The layer's DirectDraw, against the SDK too; the SDK's interfaces are
# completed by platform/host/win32/sdk/, found first.
layer_flags=("${flags[@]}" -I"$root/platform/host/win32/sdk" -I"$root/platform")
layer_objects=()
for src in "$root"/platform/core/{format,pixels,processor_features,reset}.cpp "$root"/platform/ddraw/*.cpp \
  "$root"/platform/host/win32/*.cpp; do
  obj="$out/layer-$(basename "$(dirname "$src")")-$(basename "${src%.cpp}").o"
  "$cxx" "${layer_flags[@]}" -c "$src" -o "$obj"
  layer_objects+=("$obj")
done
echo "windows-build: compiled ${#layer_objects[@]} files of the layer"

if compgen -G "$root/viewer/*.cpp" >/dev/null; then
  "$cxx" -mwindows -static-libgcc -static-libstdc++ -static -o "$out/corvane.exe" "${objects[@]}" \
    "${layer_objects[@]}" -ldsound -ldinput -ldxguid -lwsock32 -lwinmm -lgdi32 -luser32
  if x86_64-w64-mingw32-objdump -p "$out/corvane.exe" | grep -qi 'DLL Name: ddraw.dll'; then
    echo "windows-build: corvane.exe imports ddraw.dll" >&2
    exit 1
  fi
  echo "windows-build: linked $out/corvane.exe"

  # The frame's cost on this DirectDraw, a console program for Wine.
  "$cxx" "${flags[@]}" -c "$root/bench/windows/frame_cost.cpp" -o "$out/bench-frame_cost.o"
  "$cxx" -static-libgcc -static-libstdc++ -static -o "$out/frame_cost.exe" "$out/bench-frame_cost.o" \
    "${screen_objects[@]}" "${layer_objects[@]}" -ldsound -ldinput -ldxguid -lwsock32 -lwinmm -lgdi32 -luser32

  # A test build: the same program whose DirectDraw honours faults injected
  # through CORVANE_FAULTS, for the tests of its set-up failure boxes.
  testing_objects=()
  for src in "$root"/platform/ddraw/*.cpp "$root"/platform/testing/call_record.cpp \
    "$root"/platform/host/win32/testing/*.cpp; do
    obj="$out/testing-$(basename "${src%.cpp}").o"
    "$cxx" "${layer_flags[@]}" -I"$root/platform/testing/include" -DCORVANE_LAYER_TESTING -c "$src" -o "$obj"
    testing_objects+=("$obj")
  done
  plain_rest=()
  for obj in "${layer_objects[@]}"; do
    case "$obj" in */layer-ddraw-*) ;; *) plain_rest+=("$obj") ;; esac
  done
  "$cxx" -mwindows -static-libgcc -static-libstdc++ -static -o "$out/corvane_testing.exe" "${objects[@]}" \
    "${plain_rest[@]}" "${testing_objects[@]}" -ldsound -ldinput -ldxguid -lwsock32 -lwinmm -lgdi32 -luser32

  # What people download: the program, its sample picture and a README.
  version="${CORVANE_VERSION:-$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")}"
  version="${version:-0.1.0}"
  command -v zip >/dev/null || { echo "windows-build: zip not found (package zip)" >&2; exit 1; }
  stage="$out/zip"
  rm -rf "$stage" && mkdir -p "$stage"
  cp "$out/corvane.exe" "$root/assets/intro.bmp" "$stage/"
  sed 's/$/\r/' "$root/assets/README-windows.txt" >"$stage/README.txt"
  zip="$out/corvane-$version-windows.zip"
  rm -f "$zip"
  (cd "$stage" && zip -q -X "$zip" corvane.exe intro.bmp README.txt)
  echo "windows-build: packed $zip"
fi
