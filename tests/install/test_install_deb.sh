#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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
package_version="$(dpkg-deb -f "$deb" Version)"
[[ $package_version == *-[0-9]* ]] || fail "the version $package_version has no Debian revision"
expected="K-Vorn ${package_version%-*}"
[[ $version == "$expected" ]] || fail "--version said '$version', not '$expected'"

# What a Debian maintainer checks first: lintian's errors and warnings. Tags we accept are
# listed, each with its reason, in lintian-accepted.txt.
accepted="$(sed -n 's/^\([a-z0-9-]\+\):.*/\1/p' "$(dirname "$0")/lintian-accepted.txt")"
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --tag-display-limit 0 "$deb" >"$SCRATCH/lintian.log" 2>&1 || true
while read -r line; do
  [[ $line =~ ^[EW]:\ kvorn[^:]*:\ ([a-z0-9-]+) ]] || continue
  grep -qx "${BASH_REMATCH[1]}" <<<"$accepted" || fail "lintian: $line"
done <"$SCRATCH/lintian.log"
grep -q '^E:' "$SCRATCH/lintian.log" && grep '^E:' "$SCRATCH/lintian.log" >&2

# Hardening, on the root helper above all: bound at start, read-only relocations, stack
# protection. The package's binaries are stripped, so the checks read the dynamic section
# and the imported symbols.
sanitized=0
grep -qx 'KVORN_SANITIZE:BOOL=ON' "$BUILD/CMakeCache.txt" && sanitized=1
for binary in usr/bin/kvorn usr/libexec/kvorn/kvorn-hosts-helper usr/libexec/kvorn/kvorn-address-reader; do
  # Read whole before matching: grep -q ending the pipe early would fail it under pipefail.
  dynamic="$(readelf -dW "$ROOT/$binary")"
  segments="$(readelf -lW "$ROOT/$binary")"
  symbols="$(readelf --dyn-syms -W "$ROOT/$binary")"
  grep -q 'BIND_NOW' <<<"$dynamic" || fail "$binary is not bound at start (BIND_NOW)"
  grep -q 'GNU_RELRO' <<<"$segments" || fail "$binary has no RELRO segment"
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$binary has no stack protection"
  # The sanitizers check memory functions themselves: their build has no fortified ones.
  [[ $binary != *hosts-helper ]] || [[ $sanitized == 1 ]] ||
    grep -q '_chk@' <<<"${symbols//__stack_chk_fail/}" ||
    fail "the hosts helper uses no fortified functions"
done

# The manual page: installed compressed where man looks, and it renders without warnings.
page="$ROOT/usr/share/man/man1/kvorn.1.gz"
if [[ -f $page ]]; then
  warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$SCRATCH/man.txt")"
  [[ -z $warnings ]] || fail "man page warnings: $warnings"
  grep -q -- '--forceclose' "$SCRATCH/man.txt" || fail "the man page does not render its options"
else
  fail "no man page"
fi
for doc in copyright changelog.gz changelog.Debian.gz; do
  [[ -f $ROOT/usr/share/doc/kvorn/$doc ]] || fail "no /usr/share/doc/kvorn/$doc"
done
finish
