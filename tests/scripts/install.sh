#!/usr/bin/env bash
# Installation check: cmake --install into a temporary DESTDIR, then look at what landed where, and start the
# installed program to see that it finds and runs its installed browser-control script and quits on SIGTERM.
# Usage: install.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail
BUILD="$(cd "${1:?usage: install.sh BUILD_DIR}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
[ "$(uname -s)" = Linux ] || { echo "install: the Linux layout only; the macOS bundle is not checked here"; exit 0; }
# shellcheck source=../support/installed_program.sh
source "$ROOT/tests/support/installed_program.sh"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-install-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
fail() { echo "install: FAILED: $*" >&2; exit 1; }

DESTDIR="$WORK/dest" cmake --install "$BUILD" --prefix /usr > "$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install"; }
TOP="$WORK/dest/usr"

# --- what landed where: these files and nothing else (no test programs, no libraries) ---------------------------
# Each file with its mode; the icons come in the sizes resources/icons holds, named as the desktop entry says.
SIZES="16 32 48 64 128 256 512"
want="bin/BrindleX:755 bin/brindlexctl:755 libexec/brindlex/browser-control:755 share/applications/brindlex.desktop:644"
for s in $SIZES; do want+=" share/icons/hicolor/${s}x$s/apps/brindlex.png:644"; done
want+=" share/man/man1/BrindleX.1.gz:644 share/man/man1/brindlexctl.1.gz:644"
want+=" share/bash-completion/completions/brindlexctl:644 share/metainfo/org.brindlex.BrindleX.metainfo.xml:644"
want+=" share/doc/brindlex/copyright:644 share/doc/brindlex/changelog.gz:644"
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
! command -v appstreamcli >/dev/null || appstreamcli validate --no-net "$TOP/share/metainfo/org.brindlex.BrindleX.metainfo.xml" \
  > "$WORK/appstream.log" 2>&1 || { cat "$WORK/appstream.log" >&2; fail "appstreamcli validate"; }
# The manual pages read cleanly, and brindlexctl's tells every command of the installed program's --help.
for page in BrindleX brindlexctl; do
  warnings="$(man --warnings -l "$TOP/share/man/man1/$page.1.gz" 2>&1 >/dev/null)" && [ -z "$warnings" ] ||
    fail "the manual page of $page: ${warnings:-man failed}"
done
manual="$(man -l "$TOP/share/man/man1/brindlexctl.1.gz" 2>/dev/null | col -b)"
for c in $("$TOP/bin/brindlexctl" --help | sed -n '/^Commands:$/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p'); do
  grep -qE "^ +$c( |$)" <<< "$manual" || fail "brindlexctl's manual page does not tell $c"
done

# --- the installed program at work: it runs its installed script, and quits on SIGTERM --------------------------
why="$(start_and_quit "$TOP/bin/BrindleX" "$WORK")" || fail "$why"
echo "install: program, brindlexctl, its manual and completion, browser-control, desktop entry, icons and metadata" \
     "in place; the program runs its script and quits on SIGTERM"
