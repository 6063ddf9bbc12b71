#!/usr/bin/env bash
# The Debian package: cpack makes it from the build, it holds exactly what cmake --install installs, its
# dependencies were computed, and lintian finds no error in it. Then it is installed as a user installs it:
# through apt-get when this runs as root (as CI does, on a machine of its own), so that its dependencies resolve,
# else unpacked with dpkg-deb. The installed brindlexctl --version runs, and the installed BrindleX starts on the
# offscreen platform and quits on SIGTERM. Then the package is purged, and nothing of it may be left behind.
# Usage: package.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail
BUILD="$(cd "${1:?usage: package.sh BUILD_DIR}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
[ "$(uname -s)" = Linux ] || { echo "package: Debian packages are made on Linux only"; exit 0; }
# cpack and dpkg-deb fail the run when missing; lintian's findings are read from its log, so it is looked for.
command -v lintian >/dev/null || { echo "package: lintian is missing" >&2; exit 1; }
# shellcheck source=../support/installed_program.sh
source "$ROOT/tests/support/installed_program.sh"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-package-XXXXXX")" INSTALLED=
chmod 755 "$WORK"   # apt reads the package as its own unprivileged user
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@" > "$WORK/apt.log" 2>&1; }
cleanup() { [ -z "$INSTALLED" ] || apt_get purge brindlex || :; rm -rf "$WORK"; }
trap cleanup EXIT
fail() { echo "package: FAILED: $*" >&2; exit 1; }

# --- the package ----------------------------------------------------------------------------------------------
cpack -G DEB -B "$WORK/out" --config "$BUILD/CPackConfig.cmake" > "$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; fail "cpack"; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")"
deb="$WORK/out/brindlex_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made $(ls "$WORK/out"), not $(basename "$deb")"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libqt6core6 libqt6widgets6 libqt6network6 libsqlite3-0; do
  grep -qE "(^|, )$lib( |,|$)" <<< "$depends" || fail "Depends has no $lib: $depends"
done

# What the package holds is what cmake --install installs under /usr, files and modes alike.
DESTDIR="$WORK/dest" cmake --install "$BUILD" --prefix /usr > /dev/null 2>&1 || fail "cmake --install"
installed="$(cd "$WORK/dest" && find . ! -type d -printf '%p %m\n' | sort)"
packed="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { m = 0; for (i = 2; i <= 10; i++) m = m * 2 + (substr($1, i, 1) != "-")
                                                   printf "%s %o\n", $6, m }' | sort)"
[ "$packed" = "$installed" ] || fail "the package holds
$packed
and cmake --install installs
$installed"

# lintian: every remark, and no error among them (the README says why each remaining warning stays).
lintian --info --display-info "$deb" > "$WORK/lintian.log" 2>&1 || :
echo "package: lintian on $(basename "$deb"):"
sed 's/^/  /' "$WORK/lintian.log"
! grep -q '^E: ' "$WORK/lintian.log" || fail "lintian reports errors"

# --- installed, at work, removed ---------------------------------------------------------------------------------
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' brindlex 2>/dev/null | grep -q "installed"; then
  how="installed with apt-get and purged"
  files="$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||')"
  # Every folder the package puts something in, and its parents: their entries before and after.
  folders="$(while read -r f; do d="$(dirname "$f")"; while [ "$d" != / ]; do echo "$d"; d="$(dirname "$d")"; done
             done <<< "$files" | sort -u)"
  snapshot() {   # the entries of those folders, and dpkg's records of the package
    while read -r d; do [ ! -d "$d" ] || find "$d" -mindepth 1 -maxdepth 1; done <<< "$folders"
    ls /var/lib/dpkg/info/brindlex.* 2>/dev/null || :
  }
  before="$(snapshot | sort)"
  INSTALLED=1
  apt_get install --no-install-recommends "$deb" || { cat "$WORK/apt.log" >&2; fail "apt-get install"; }
  PREFIX=/usr
else
  how="unpacked with dpkg-deb (not root, or brindlex was installed here already)"
  dpkg-deb -x "$deb" "$WORK/root"
  PREFIX="$WORK/root/usr"
fi
got="$("$PREFIX/bin/brindlexctl" --version)" || fail "the installed brindlexctl --version"
[ "$got" = "brindlexctl $version" ] || fail "the installed brindlexctl --version says $got"
why="$(start_and_quit "$PREFIX/bin/BrindleX" "$WORK/run")" || fail "$why"

if [ -n "$INSTALLED" ]; then
  apt_get purge brindlex || { cat "$WORK/apt.log" >&2; fail "apt-get purge"; }
  INSTALLED=
  ! dpkg-query -W -f='${Status}' brindlex 2>/dev/null | grep -q "installed" || fail "brindlex is still installed"
  # What is new and belongs to no installed package was left by this one (files other packages installed
  # meanwhile are theirs); the caches that other packages' triggers rebuild over every package are theirs too.
  after="$(snapshot | sort)"
  left="$(comm -13 <(echo "$before") <(echo "$after") | { grep -vE '/(mimeinfo|icon-theme)\.cache$' || :; } |
          while read -r f; do dpkg -S "$f" > /dev/null 2>&1 || echo "$f"; done)"
  [ -z "$left" ] || fail "left behind: $left"
fi
echo "package: $(basename "$deb") $how: brindlexctl --version and BrindleX ran, nothing left behind"
