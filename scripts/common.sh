# Shared by scripts/run and scripts/test: install what is missing, then configure and build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
# The fixture database script: the shared copy beside the checkout wins, the bundled copy keeps a lone clone working.
FIXTURE_SQL="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE_SQL" ] || FIXTURE_SQL="$ROOT/tests/fixtures/syndication.sql"

# python3-feedparser and libxml2-utils read the article exports back; the last line: the manual page (help2man), the
# Debian package (dpkg-dev and file for cpack's dependency computation) and its checks (lintian,
# desktop-file-validate, appstreamcli, man, col), the completion's test.
PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlite3-dev libgtest-dev sqlite3 xvfb
          xdotool imagemagick x11-utils fonts-dejavu-core python3 python3-feedparser libxml2-utils clang
          libclang-rt-14-dev
          help2man dpkg-dev file lintian desktop-file-utils appstream man-db bsdextrautils bash-completion)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  # python3 may come from elsewhere (pyenv); only ask apt for it when there is none at all.
  if command -v python3 >/dev/null 2>&1; then
    local keep=(); for p in "${missing[@]}"; do [ "$p" = python3 ] || keep+=("$p"); done; missing=("${keep[@]+"${keep[@]}"}")
  fi
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
  cmake --build "$BUILD"
}
