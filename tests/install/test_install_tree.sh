#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cmake --install into a staging root under a prefix other than the configured one; the
# installed program, started from there, seeds the user's folder from the installed data and
# finds the installed hosts helper.
source "$(dirname "$0")/common.sh"

ROOT="$SCRATCH/root"
PREFIX=/opt/kvorn-test
DESTDIR="$ROOT" cmake --install "$BUILD" --prefix "$PREFIX" >"$SCRATCH/install.log" ||
  { cat "$SCRATCH/install.log"; exit 1; }
check_tree "$ROOT" "$PREFIX"

# A mark in the installed tips file shows where the program took its copy from.
echo "installed copy" >>"$ROOT$PREFIX/share/kvorn/TIPOFDAY.TXT"
HOME_DIR="$SCRATCH/home"
mkdir -p "$HOME_DIR"
run_env=(env -u KVORN_HOME QT_QPA_PLATFORM=offscreen HOME="$HOME_DIR" XDG_CONFIG_HOME="$HOME_DIR/.config"
         XDG_DATA_HOME="$HOME_DIR/.local/share" XDG_RUNTIME_DIR="$SCRATCH/run")
mkdir -m 700 "$SCRATCH/run"
"${run_env[@]}" "$ROOT$PREFIX/bin/kvorn" --debug >"$SCRATCH/out.log" 2>&1 &
pid=$!
for _ in $(seq 200); do
  grep -q "running; program folder" "$SCRATCH/out.log" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
"${run_env[@]}" "$ROOT$PREFIX/bin/kvorn" --forceclose >/dev/null 2>&1 || true
for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then
  kill -9 "$pid"
  fail "the installed program did not end on --forceclose"
fi
wait "$pid" || fail "the installed program ended with an error"
grep -q "running; program folder" "$SCRATCH/out.log" || fail "the installed program did not start"
grep -qx "kvorn: hosts helper $ROOT$PREFIX/libexec/kvorn/kvorn-hosts-helper" "$SCRATCH/out.log" ||
  fail "the program does not use the installed hosts helper"
tail -n 1 "$HOME_DIR/.local/share/kvorn/TIPOFDAY.TXT" 2>/dev/null | grep -q "installed copy" ||
  fail "the tips file was not seeded from the installed data"
[[ -f $HOME_DIR/.local/share/kvorn/SOUNDS/WHIP.WAV ]] || fail "the kill sound was not seeded"
((FAILURES == 0)) || cat "$SCRATCH/out.log" >&2
finish
