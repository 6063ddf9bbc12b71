#!/usr/bin/env bash
# The browser-control script against stand-in browsers (copies of sleep, so that /proc/PID/exe is theirs). For
# each launcher form of an Exec line, and for $BROWSER, the browser must be started with its arguments, found,
# and quit, while unrelated "sh -c" and "bash -c" processes of the same user and a shell script of the
# browser's name live on. A program that is a shell, env, an interpreter or missing must be refused; a missing
# default browser must be looked up once, not at every Check.
# Usage: browser_control.sh BUILD_DIR. Exits non-zero on any failure.
set -uo pipefail
SCRIPT="$(cd "${1:?usage: browser_control.sh BUILD_DIR}" && pwd)/browser-control"
[ "$(uname -s)" = Linux ] || { echo "browser_control: /proc is Linux's; not checked here"; exit 0; }
[ -x "$SCRIPT" ] || { echo "browser_control: $SCRIPT is not built" >&2; exit 1; }

T="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-browserctl-XXXXXX")"
N="bx$$-web"   # apart from other runs' stand-ins, within the 15 bytes the kernel keeps of a name
KEEP=()
failures=0
fail() { echo "browser_control: FAILED: $*" >&2; failures=$((failures + 1)); }
standins() {
  local p
  for p in /proc/[0-9]*; do
    { [ "$p/exe" -ef "$T/bin/$N" ] || [ "$p/exe" -ef "$T/My Web/$N" ]; } && echo "${p#/proc/}"
  done 2>/dev/null
}
cleanup() { kill "${KEEP[@]}" $(standins) 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT

mkdir -p "$T/bin" "$T/My Web" "$T/wrap" "$T/named" "$T/fake"
cp /bin/sleep "$T/bin/$N"
cp /bin/sleep "$T/My Web/$N"
printf '#!/bin/sh\nexec "%s" "$@"\n' "$T/bin/$N" > "$T/wrap/$N"   # a launcher, as Debian's /usr/bin/chromium
printf '#!/bin/sh\nread -r x\n' > "$T/named/$N"                  # a script that only shares the name
cat > "$T/fake/flatpak" <<EOF
#!/bin/sh
printf '%s|' "\$@" >> "$T/flatpak.log"; echo >> "$T/flatpak.log"
case \$1 in
  run) touch "$T/flatpak.on" ;;
  ps) [ -f "$T/flatpak.on" ] && printf 'org.example.Other\norg.example.Web\n' ;;
  kill) rm -f "$T/flatpak.on" ;;
esac
EOF
for tool in xdg-settings xdg-mime; do printf '#!/bin/sh\necho %s >> "%s/xdg.log"\n' "$tool" "$T" > "$T/fake/$tool"; done
chmod +x "$T/bin/$N" "$T/My Web/$N" "$T/wrap/$N" "$T/named/$N" "$T"/fake/*

# The processes every Quit must leave alone: shells blocked reading a pipe nobody writes to, and a sleep.
mkfifo "$T/fifo"
sh -c 'read -r x' <> "$T/fifo" & KEEP+=($!)
bash -c 'read -r x' <> "$T/fifo" & KEEP+=($!)
"$T/named/$N" <> "$T/fifo" & KEEP+=($!)
sh -c "\"$T/bin/$N\" 0 & exec sleep 300" & KEEP+=($!)   # leaves a dead stand-in it never reaps
within() { local i; for i in $(seq 150); do "$@" && return 0; sleep 0.02; done; return 1; }
kept_alive() {
  local p
  for p in "${KEEP[@]}"; do [ -e "/proc/$p/exe" ] || return 1; done
}
begun() {
  [ "$(cat "/proc/${KEEP[0]}/comm" "/proc/${KEEP[2]}/comm" "/proc/${KEEP[3]}/comm" 2>/dev/null)" = $'sh\n'"$N"$'\nsleep' ] &&
    grep -qs "^[0-9]* ($N) Z ${KEEP[3]} " /proc/[0-9]*/stat
}
within begun || { echo "browser_control: the processes to keep did not start" >&2; exit 1; }

run() {
  local browser=()
  [ -n "$BR" ] && browser=(BROWSER="$BR")
  env -u BROWSER "${browser[@]}" HOME="$H" XDG_CONFIG_HOME="$H/.config" XDG_DATA_HOME="$H/.local/share" \
    XDG_CACHE_HOME="$H/.cache" XDG_DATA_DIRS="$T/none" PATH="$T/fake:$T/bin:$PATH" "$SCRIPT" "$1"
}
says() { [ "$(run Check)" = "$1" ]; }
gone() { [ -z "$(standins)" ]; }

# kind|case|the default browser's Exec line, or $BROWSER (@D@ is the stand-ins' folder, @N@ their name)
i=0
while IFS='|' read -r kind label line; do
  i=$((i + 1)); H="$T/home$i"; BR=; line="${line//@D@/$T}"; line="${line//@N@/$N}"
  mkdir -p "$H/.config" "$H/.local/share/applications"
  case $line in
    BROWSER=*) BR="${line#BROWSER=}" ;;
    Exec=*)
      printf '[Desktop Entry]\nType=Application\nName=Web\n%s\n' "$line" > "$H/.local/share/applications/web.desktop"
      printf '[Default Applications]\nx-scheme-handler/http=web.desktop\n' > "$H/.config/mimeapps.list" ;;
  esac
  rm -f "$T/xdg.log" "$T/flatpak.log"
  says false || fail "$label: Check before Start"
  case $kind in
    run|flatpak)
      run Start || fail "$label: Start exited with $?"
      within says true || fail "$label: Check never said true after Start"
      if [ "$kind" = run ]; then
        pids=$(standins)
        [ -n "$pids" ] || fail "$label: no stand-in runs though Check says true"
        for p in $pids; do
          mapfile -d '' argv < "/proc/$p/cmdline"
          [ "${argv[*]:1}" = 300 ] || fail "$label: started as ${argv[*]}"
          read -r -a stat < "/proc/$p/stat"   # pid (comm) state ppid pgrp session ...
          [ "${stat[5]}" = "$p" ] && [ "$(readlink "/proc/$p/fd/0")" = /dev/null ] &&
            ! grep -qs browser-control "/proc/${stat[3]}/cmdline" || fail "$label: not detached from the script"
        done
      fi
      run Quit || fail "$label: Quit exited with $?"
      within says false || fail "$label: Check still says true after Quit"
      within gone || fail "$label: the stand-in still runs after Quit"
      if [ "$kind" = flatpak ]; then
        grep -qxF 'run|--branch|stable|--command=a "b" \c|org.example.Web|100%|' "$T/flatpak.log" &&
          grep -qxF 'kill|org.example.Web|' "$T/flatpak.log" &&
          [ "$(grep -cvxF -e 'ps|--columns=application|' "$T/flatpak.log")" -eq 2 ] ||
          fail "$label: flatpak was run as: $(tr '\n' ' ' < "$T/flatpak.log")"
      fi ;;
    refused)
      for command in Start Quit; do
        err=$(run "$command" 2>&1 >/dev/null); rc=$?
        [ "$rc" -ne 0 ] && [ -n "$err" ] && [[ $err != *$'\n'* ]] ||
          fail "$label: $command exited with $rc, saying '$err'"
      done
      gone || fail "$label: a refused Start started the program"
      if [ -z "$line" ]; then   # no default browser: looked up once, again when mimeapps.list changes
        says false && says false
        [ "$(cat "$T/xdg.log")" = $'xdg-settings\nxdg-mime' ] || fail "$label: lookups $(cat "$T/xdg.log")"
        touch -d '1 minute' "$H/.config/mimeapps.list"
        says false && [ "$(wc -l < "$T/xdg.log")" -eq 4 ] || fail "$label: not looked up again"
      fi ;;
  esac
  kept_alive || fail "$label: Quit ended an unrelated process"
done <<'EOF'
run|plain path|Exec=@D@/bin/@N@ 300 %u
run|quoted path with spaces|Exec="@D@/My\sWeb/@N@" 300 %U
run|env with options and VAR=value, program on PATH|Exec=env -u HOME BX_A=1 @N@ 300 %F
run|/usr/bin/env|Exec=/usr/bin/env BX_A=1 @D@/bin/@N@ 300 %f
run|sh -c exec with quotes|Exec=sh -c "exec \"@D@/bin/@N@\" \"\\$@\"" sh 300 %u
run|bash -c with a path, VAR=value|Exec=/bin/bash -c "BX_A=1 exec '@D@/My Web/@N@' 300" bash %U
run|dash -c|Exec=dash -ec "exec @D@/bin/@N@ 300" %u
run|launcher script that execs the program|Exec=@D@/wrap/@N@ 300 %u
run|$BROWSER|BROWSER=@D@/bin/@N@ 300 %s:firefox
flatpak|flatpak run|Exec=/usr/bin/env BX_A=1 flatpak run --branch stable "--command=a \\"b\\" \\\\c" org.example.Web %U 100%%
refused|a shell running a script|Exec=sh @D@/wrap/@N@ %u
refused|env with nothing to run|Exec=env BX_A=1 %u
refused|an interpreter behind env|Exec=/usr/bin/env perl -e "sleep 300"
refused|an interpreter behind bash -c|Exec=bash -c "exec perl -e 'sleep 300'"
refused|a missing program|Exec=@D@/bin/no-such-web %u
refused|$BROWSER a shell|BROWSER=dash -c
refused|no default browser|
EOF

[ "$failures" -eq 0 ] || exit 1
echo "browser_control: $i cases; the browser started, found and quit in each launcher form, the rest refused"
