#!/usr/bin/env bash
# Installation check: cmake --install into a temporary DESTDIR, then look at what landed where, and start the
# installed program to see that it finds and runs its installed browser-control script.
# Usage: install.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail

BUILD="$(cd "${1:?usage: install.sh BUILD_DIR}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PREFIX=/usr

if [ "$(uname -s)" != Linux ]; then
  echo "install: the Linux layout only; the macOS bundle is not checked here"
  exit 0
fi
[ -x "$BUILD/BrindleX" ] || { echo "install: $BUILD/BrindleX is not built" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-install-XXXXXX")"
APP_PID=
cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "install: FAILED: $*" >&2; exit 1; }

DEST="$WORK/dest"
DESTDIR="$DEST" cmake --install "$BUILD" --prefix "$PREFIX" > "$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install"; }
TOP="$DEST$PREFIX"

# --- what landed where --------------------------------------------------------------------------------------
[ -x "$TOP/bin/BrindleX" ] || fail "no executable $PREFIX/bin/BrindleX"
[ -x "$TOP/bin/brindlexctl" ] || fail "no executable $PREFIX/bin/brindlexctl"
SCRIPT="$TOP/libexec/brindlex/browser-control"
[ -x "$SCRIPT" ] || fail "no executable $PREFIX/libexec/brindlex/browser-control"
cmp -s "$SCRIPT" "$ROOT/scripts/browser-control" || fail "the installed browser-control is not scripts/browser-control"

DESKTOP="$TOP/share/applications/brindlex.desktop"
[ -f "$DESKTOP" ] || fail "no desktop entry $PREFIX/share/applications/brindlex.desktop"
entry() { sed -n "s/^$1=//p" "$DESKTOP" | head -n 1; }
[ "$(head -n 1 "$DESKTOP")" = "[Desktop Entry]" ] || fail "the desktop entry does not begin with [Desktop Entry]"
[ "$(entry Type)" = Application ] || fail "desktop entry Type is '$(entry Type)'"
[ "$(entry Name)" = BrindleX ] || fail "desktop entry Name is '$(entry Name)'"
exec_program="$(entry Exec)"; exec_program="${exec_program%% *}"
[ -x "$TOP/bin/$exec_program" ] || fail "desktop entry Exec '$exec_program' is not the installed program"
icon="$(entry Icon)"
[ -n "$icon" ] || fail "desktop entry has no Icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$DESKTOP" || fail "desktop-file-validate"
fi

# Every icon under its own size, named as the desktop entry names it; the sizes a desktop asks for most.
found=0
for png in "$TOP"/share/icons/hicolor/*/apps/"$icon".png; do
  [ -f "$png" ] || continue
  folder="$(basename "$(dirname "$(dirname "$png")")")"
  size="$(identify -format '%wx%h' "$png" 2>/dev/null)" || fail "$png is not an image"
  [ "$size" = "$folder" ] || fail "$png is $size, in the folder for $folder"
  found=$((found + 1))
done
for wanted in 16x16 32x32 48x48 128x128 256x256; do
  [ -f "$TOP/share/icons/hicolor/$wanted/apps/$icon.png" ] || fail "no $wanted icon named $icon.png"
done

# Nothing else gets installed (no test programs, no libraries).
expected='^\./(bin/BrindleX|bin/brindlexctl|libexec/brindlex/browser-control|share/applications/brindlex\.desktop'
expected+='|share/icons/hicolor/[0-9]+x[0-9]+/apps/[^/]+\.png)$'
stray="$(cd "$TOP" && find . -type f | grep -v -E "$expected" || true)"
[ -z "$stray" ] || fail "unexpected installed files: $stray"

# --- the installed program runs its installed script ----------------------------------------------------------
# Nothing stands beside the installed program, so the script it runs can only be the one in libexec. The real
# script, asked "Check" with no $BROWSER, looks up the desktop's default browser and notes it in its cache:
# that note is the sign it ran.
HOME_DIR="$WORK/home"
mkdir -p "$HOME_DIR/.config" "$HOME_DIR/.local/share/applications" "$HOME_DIR/.local/share/BrindleX/Syndication"
FAKE_BROWSER="$WORK/fake-browser"
printf '#!/bin/sh\nexit 0\n' > "$FAKE_BROWSER"
chmod +x "$FAKE_BROWSER"
printf '[Desktop Entry]\nType=Application\nName=Fake Browser\nExec=%s %%u\n' "$FAKE_BROWSER" \
  > "$HOME_DIR/.local/share/applications/fake-browser.desktop"
printf '[Default Applications]\nx-scheme-handler/http=fake-browser.desktop\n' > "$HOME_DIR/.config/mimeapps.list"
FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
sqlite3 "$HOME_DIR/.local/share/BrindleX/Syndication/Database3" < "$FIXTURE" > /dev/null

# The installed companion finds the default database by itself, and writes no preferences doing so.
totals="$(env -u XDG_DATA_HOME HOME="$HOME_DIR" "$TOP/bin/brindlexctl" totals --json)" ||
  fail "the installed brindlexctl could not read the default database"
[ "$totals" = '{"articles":5,"sources":4,"unread":3}' ] || fail "the installed brindlexctl gave $totals"
[ ! -e "$HOME_DIR/.local/share/BrindleX/Preferences" ] || fail "the installed brindlexctl wrote preferences"

mkdir -m 700 "$WORK/runtime"
env -u BROWSER -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_DATA_DIRS \
  -u DISPLAY -u WAYLAND_DISPLAY HOME="$HOME_DIR" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen \
  "$TOP/bin/BrindleX" > "$WORK/app.log" 2>&1 &
APP_PID=$!

CACHE="$HOME_DIR/.cache/BrindleX/browser"
for _ in $(seq 100); do
  [ -s "$CACHE" ] && break
  kill -0 "$APP_PID" 2>/dev/null || { cat "$WORK/app.log" >&2; fail "the installed program ended on its own"; }
  sleep 0.1
done
[ -s "$CACHE" ] ||
  { cat "$WORK/app.log" >&2; fail "the installed program did not run its browser-control script within 10 s"; }
grep -qF "'$FAKE_BROWSER'" "$CACHE" || fail "the script's cache does not name $FAKE_BROWSER: $(cat "$CACHE")"
[ -f "$HOME_DIR/.local/share/BrindleX/Preferences/Brindle.plist" ] || fail "the installed program wrote no preferences"

echo "install: program, brindlexctl, browser-control, desktop entry and $found icons in place; the installed program runs its script"
