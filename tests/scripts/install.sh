#!/usr/bin/env bash
# Installation check: cmake --install into a temporary DESTDIR, then look at what landed where, and start the
# installed program to see that it finds and runs its installed browser-control script.
# Usage: install.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail
BUILD="$(cd "${1:?usage: install.sh BUILD_DIR}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
[ "$(uname -s)" = Linux ] || { echo "install: the Linux layout only; the macOS bundle is not checked here"; exit 0; }
[ -x "$BUILD/BrindleX" ] || { echo "install: $BUILD/BrindleX is not built" >&2; exit 1; }
WORK="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-install-XXXXXX")" APP=
trap 'kill $APP 2>/dev/null && { wait $APP || :; }; rm -rf "$WORK"' EXIT
fail() { echo "install: FAILED: $*" >&2; exit 1; }

DESTDIR="$WORK/dest" cmake --install "$BUILD" --prefix /usr > "$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install"; }
TOP="$WORK/dest/usr"

# --- what landed where: these files and nothing else (no test programs, no libraries) ---------------------------
# Each file with its mode; the icons come in the sizes resources/icons holds, named as the desktop entry says.
SIZES="16 32 48 64 128 256 512"
want="bin/BrindleX:755 bin/brindlexctl:755 libexec/brindlex/browser-control:755 share/applications/brindlex.desktop:644"
for s in $SIZES; do want+=" share/icons/hicolor/${s}x$s/apps/brindlex.png:644"; done
got="$(cd "$TOP" && find . ! -type d -printf '%P:%m\n' | sort)"
[ "$got" = "$(tr ' ' '\n' <<< "$want" | sort)" ] || fail "installed: $(tr '\n' ' ' <<< "$got")not: $want"
cmp -s "$TOP/libexec/brindlex/browser-control" "$ROOT/scripts/browser-control" || fail "browser-control: not the script"
for s in $SIZES; do
  size="$(identify -format '%wx%h' "$TOP/share/icons/hicolor/${s}x$s/apps/brindlex.png")" && [ "$size" = "${s}x$s" ] ||
    fail "the icon in ${s}x$s is ${size:-not an image}"
done
DESKTOP="$TOP/share/applications/brindlex.desktop"   # Exec runs the installed bin/BrindleX, Icon names the icons
keys="$(head -n 1 "$DESKTOP"; sed -nE 's/^(Type|Name|Exec|Icon)=([^ ]*).*/\1=\2/p' "$DESKTOP" | sort)"
[ "$keys" = $'[Desktop Entry]\nExec=BrindleX\nIcon=brindlex\nName=BrindleX\nType=Application' ] ||
  fail "the desktop entry holds $keys"
! command -v desktop-file-validate >/dev/null || desktop-file-validate "$DESKTOP" || fail "desktop-file-validate"

# --- the installed programs at work -------------------------------------------------------------------------------
# The installed companion finds the default database by itself, and writes no preferences doing so.
H="$WORK/home" FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
mkdir -p "$H/.local/share/BrindleX/Syndication" && mkdir -m 700 "$WORK/runtime"
sqlite3 "$H/.local/share/BrindleX/Syndication/Database3" < "$FIXTURE" > /dev/null
totals="$(env -u XDG_DATA_HOME HOME="$H" "$TOP/bin/brindlexctl" totals --json)" || fail "brindlexctl read no database"
[ "$totals" = '{"articles":5,"sources":5,"unread":3}' ] || fail "the installed brindlexctl gave $totals"
[ ! -e "$H/.local/share/BrindleX/Preferences" ] || fail "the installed brindlexctl wrote preferences"

# Nothing stands beside the installed program, so the script it runs can only be the one in libexec. The script
# notes the browser it read in its cache, even one not installed: that note is the sign it ran.
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME BROWSER="$WORK/web-browser" HOME="$H" \
  XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen "$TOP/bin/BrindleX" > "$WORK/app.log" 2>&1 &
APP=$! CACHE="$H/.cache/BrindleX/browser"
for _ in $(seq 100); do [ ! -s "$CACHE" ] && kill -0 $APP 2>/dev/null || break; sleep 0.1; done
[ -s "$CACHE" ] || { cat "$WORK/app.log" >&2; fail "the installed program ended, or ran no script within 10 s"; }
grep -qF "'$WORK/web-browser'" "$CACHE" || fail "the script's cache does not name the browser: $(cat "$CACHE")"
[ -f "$H/.local/share/BrindleX/Preferences/Brindle.plist" ] || fail "the installed program wrote no preferences"
echo "install: program, brindlexctl, browser-control, desktop entry and icons in place; the program runs its script"
