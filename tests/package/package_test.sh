#!/usr/bin/env bash
# The Debian package as a person gets it: made by CPack from the build tree,
# inspected with dpkg-deb, checked by lintian (no errors) and
# desktop-file-validate, unpacked into a temporary folder (never installed),
# and its program run under Xvfb in a folder holding its own sample picture:
# sdl_window_test's key test, which compares the screen with the frames the
# program draws and wants exit code 27 after Esc.
#
#   package_test.sh BUILD_DIR SDL_WINDOW_TEST
set -euo pipefail
build="$1"
window_test="$2"
work="$(mktemp -d "$build/package-run.XXXXXX")"
fail() {
  echo "package test: $*" >&2
  echo "package test: kept $work" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null || fail "$1 is missing (package $2; tools/install-deps.sh installs it)"
}
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need lintian lintian
need desktop-file-validate desktop-file-utils
need file file

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
deb="$work/out/corvane_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb; CPack made: $(ls "$work/out")"
echo "package test: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = corvane ] || fail "Package: $(field Package)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
for dependency in fonts-liberation libsdl2-2.0-0 libfreetype6 libfontconfig1 libc6; do
  field Depends | grep -q "\b$dependency\b" || fail "Depends lacks $dependency: $(field Depends)"
done
field Description | sed -n 2p | grep -q "Corvane shows one picture" || fail "no long description"

# What it holds, owned by root, with the usual permissions.
dpkg-deb --contents "$deb" >"$work/contents"
for path in usr/bin/corvane usr/share/corvane/intro.bmp usr/share/man/man1/corvane.1.gz \
  usr/share/applications/corvane.desktop usr/share/icons/hicolor/scalable/apps/corvane.svg \
  usr/share/icons/hicolor/48x48/apps/corvane.png usr/share/icons/hicolor/256x256/apps/corvane.png \
  usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.gz; do
  grep -q " \./$path\$" "$work/contents" || fail "the package lacks /$path"
done
if awk '$2 != "root/root"' "$work/contents" | grep -q .; then fail "files not owned by root: $(cat "$work/contents")"; fi
grep -q '^-rwxr-xr-x .* \./usr/bin/corvane$' "$work/contents" || fail "the program is not mode 755"
odd="$(awk '$1 ~ /^-/ && $6 != "./usr/bin/corvane" && $1 != "-rw-r--r--"; $1 ~ /^d/ && $1 != "drwxr-xr-x"' "$work/contents")"
[ -z "$odd" ] || fail "files not mode 644 or folders not 755: $odd"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
grep -E '^[EW]:' "$work/lintian.log" | sed 's/^/package test: lintian: /' || true

# Unpacked, not installed.
root="$work/root"
dpkg-deb -x "$deb" "$root"
entry="$root/usr/share/applications/corvane.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate refused the desktop entry"
grep -qx 'Exec=corvane' "$entry" || fail "the desktop entry does not run corvane: $(cat "$entry")"
grep -qx 'Path=/usr/share/corvane' "$entry" || fail "the desktop entry does not start in /usr/share/corvane"
file "$root/usr/bin/corvane" | grep -q ', stripped' || fail "the program is not stripped: $(file "$root/usr/bin/corvane")"
zcat "$root/usr/share/man/man1/corvane.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "the manual page has no exit status"

CORVANE_TEST_VIEWER="$root/usr/bin/corvane" CORVANE_TEST_PICTURE="$root/usr/share/corvane/intro.bmp" \
  "$window_test" --gtest_filter=SdlWindowTest.KeysShowOnTheScreenExactlyAsTheProgramDrawsThem >"$work/run.log" 2>&1 ||
  fail "the packaged program: $(cat "$work/run.log")"
grep -q '^\[       OK \] SdlWindowTest.KeysShowOnTheScreenExactlyAsTheProgramDrawsThem' "$work/run.log" ||
  fail "the packaged program did not run: $(cat "$work/run.log")"
echo "package test: the packaged program showed its frames and ended with 27 after Esc"
rm -rf "$work"
