#!/usr/bin/env bash
# The Debian package: built with CPack, its dependencies are run-time packages only, and
# unpacked into a throwaway root its program runs.
source "$(dirname "$0")/common.sh"

(cd "$SCRATCH" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$SCRATCH/out" \
  >"$SCRATCH/cpack.log" 2>&1) || { cat "$SCRATCH/cpack.log"; exit 1; }
deb="$(find "$SCRATCH/out" -maxdepth 1 -name 'kvorn_*.deb' | head -n 1)"
[[ -n $deb ]] || { cat "$SCRATCH/cpack.log"; echo "FAIL: no .deb" >&2; exit 1; }
echo "package: $(basename "$deb")"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6network6 libc-ares2 libcanberra0 libxcb-ewmh2; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done
# Build and test tools have no place in a user's dependencies.
for tool in -dev cmake ninja xvfb dovecot clang openbox xdotool benchmark; do
  [[ $depends != *"$tool"* ]] || fail "Depends names a build or test tool ($tool)"
done
grep -Eq '(^|, )pkexec(,|$)' <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "pkexec is not recommended"

# Every file under /usr, none under /usr/local, none with a build path in its name.
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$SCRATCH/files"
grep -v '^\./usr/' "$SCRATCH/files" | grep -v '^\./$' && fail "files outside /usr"

ROOT="$SCRATCH/root"
dpkg -x "$deb" "$ROOT"
check_tree "$ROOT" /usr
version="$("$ROOT/usr/bin/kvorn" --version)" || fail "the packaged program did not run"
expected="K-Vorn $(dpkg-deb -f "$deb" Version)"
[[ $version == "$expected" ]] || fail "--version said '$version', not '$expected'"
finish
