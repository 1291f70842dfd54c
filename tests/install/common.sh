# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the install tests: failure reporting and the checks both trees must pass.
set -euo pipefail

BUILD="$1"
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
FAILURES=0

fail() {
  echo "FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}

# The width and height a PNG file's header gives, as "WxH".
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

# check_tree ROOT PREFIX: the files a desktop and the program itself look for, at the places
# they look, naming PREFIX where they name installed paths.
check_tree() {
  local root="$1" prefix="$2" base="$1$2"
  [[ -x $base/bin/kvorn ]] || fail "no program $prefix/bin/kvorn"
  [[ -x $base/libexec/kvorn/kvorn-hosts-helper ]] || fail "no helper in $prefix/libexec/kvorn"
  [[ -f $base/share/kvorn/TIPOFDAY.TXT ]] || fail "no tips file in $prefix/share/kvorn"
  [[ -f $base/share/kvorn/SOUNDS/WHIP.WAV ]] || fail "no kill sound in $prefix/share/kvorn"
  [[ -e $base/share/kvorn/polkit ]] && fail "the polkit template was installed as program data"
  local extra
  extra="$(find "$base/bin" -mindepth 1 ! -name kvorn)"
  [[ -z $extra ]] || fail "more than the program in bin/: $extra"

  local desktop="$base/share/applications/org.kvorn.KVorn.desktop"
  if [[ -f $desktop ]]; then
    grep -qx "Exec=$prefix/bin/kvorn" "$desktop" || fail "desktop entry does not start $prefix/bin/kvorn"
    grep -qx "TryExec=$prefix/bin/kvorn" "$desktop" || fail "desktop entry has no TryExec"
    grep -qx "Icon=org.kvorn.KVorn" "$desktop" || fail "desktop entry names another icon"
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  else
    fail "no desktop entry"
  fi
  local metainfo="$base/share/metainfo/org.kvorn.KVorn.metainfo.xml"
  if [[ -f $metainfo ]]; then
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate --pedantic"
    appstream-util validate-relax --nonet "$metainfo" || fail "appstream-util validate-relax"
  else
    fail "no AppStream metainfo"
  fi

  local size icon
  for size in 16 22 24 32 48 64 128 256; do
    icon="$base/share/icons/hicolor/${size}x${size}/apps/org.kvorn.KVorn.png"
    if [[ -f $icon ]]; then
      [[ $(png_size "$icon") == "${size}x${size}" ]] || fail "$icon is $(png_size "$icon")"
    else
      fail "no ${size}x${size} icon"
    fi
  done
  grep -q '<svg' "$base/share/icons/hicolor/scalable/apps/org.kvorn.KVorn.svg" 2>/dev/null ||
    fail "no scalable icon"

  # polkitd reads its actions from /usr/share alone, whatever the program's prefix.
  local policy="$root/usr/share/polkit-1/actions/org.kvorn.hosts-helper.policy"
  grep -q ">$prefix/libexec/kvorn/kvorn-hosts-helper</annotate>" "$policy" 2>/dev/null ||
    fail "the polkit action does not name $prefix/libexec/kvorn/kvorn-hosts-helper"
  local mode
  mode="$(stat -c %a "$policy" 2>/dev/null || true)"
  [[ $mode == 644 ]] || fail "the polkit action has mode $mode"
}

finish() {
  if ((FAILURES)); then
    echo "$FAILURES check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
