#!/usr/bin/env bash
# Cross-builds the system's own code (viewer/, screen/, graphics/) for
# Windows with mingw-w64 against the real SDK headers, so that any drift of
# the layer's API from the platform's fails. Links corvane.exe once the
# viewer is there. Usage: windows-build.sh OUTDIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: windows-build.sh OUTDIR}"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"
command -v "$cxx" >/dev/null || { echo "windows-build: $cxx not found (package g++-mingw-w64-x86-64)" >&2; exit 1; }

mkdir -p "$out"
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -I"$root" -DDIRECTINPUT_VERSION=0x0700)
objects=()
for dir in graphics screen viewer; do
  for src in "$root/$dir"/*.cpp; do
    [ -e "$src" ] || continue
    obj="$out/$dir-$(basename "${src%.cpp}").o"
    "$cxx" "${flags[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
  done
done
echo "windows-build: compiled ${#objects[@]} files"

if compgen -G "$root/viewer/*.cpp" >/dev/null; then
  "$cxx" -mwindows -static-libgcc -static-libstdc++ -o "$out/corvane.exe" "${objects[@]}" \
    -lddraw -ldsound -ldinput -ldxguid -lwsock32 -lgdi32 -luser32
  echo "windows-build: linked $out/corvane.exe"
fi
