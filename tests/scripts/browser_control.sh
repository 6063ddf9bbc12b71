#!/usr/bin/env bash
# The browser-control script against stand-in browsers (copies of sleep, so that /proc/PID/exe is theirs). For
# each launcher form of an Exec line, and for $BROWSER, the browser must be started with its arguments, found,
# and quit, while processes that are not the browser live on and are never taken for it: unrelated "sh -c"
# and "bash -c" processes of the same user, a shell script of the browser's name, a copy of the browser's
# file under the same name in another folder, and a "sandbox" program that a link of the browser's name on
# PATH points at (firecfg's layout). A program that is a shell, env, an interpreter, missing or reached
# through a link of another name must be refused, as must a launcher script that does not say literally what
# it execs; a missing default browser must be looked up once, not at every Check.
# Usage: browser_control.sh BUILD_DIR. Exits non-zero on any failure.
set -uo pipefail
SCRIPT="$(cd "${1:?usage: browser_control.sh BUILD_DIR}" && pwd)/browser-control"
[ "$(uname -s)" = Linux ] || { echo "browser_control: /proc is Linux's; not checked here"; exit 0; }
[ -x "$SCRIPT" ] || { echo "browser_control: $SCRIPT is not built" >&2; exit 1; }
# In a process namespace of its own where the system allows one: a script that regressed to signalling every
# shell of the user then ends this check's shells, not the user's.
if [ -z "${BX_ISOLATED:-}" ] && unshare --pid --fork --mount-proc true 2>/dev/null; then
  BX_ISOLATED=1 exec unshare --pid --fork --mount-proc bash "$0" "$@"
fi

T="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-browserctl-XXXXXX")"
N="bx$$-web" J="bx$$-jail"   # apart from other runs' stand-ins, within the 15 bytes the kernel keeps of a name
KEEP=() WHAT=() failures=0
fail() { echo "browser_control: FAILED: $*" >&2; failures=$((failures + 1)); }
running() { for p in /proc/[0-9]*; do for f do [ "$p/exe" -ef "$f" ] && echo "${p#/proc/}" && break; done; done 2>/dev/null; }
standins() { running "$T/bin/$N" "$T/My Web/$N"; }
trap 'kill "${KEEP[@]}" $(standins) 2>/dev/null; rm -rf "$T"' EXIT   # KEEP holds the other copy and the sandbox

mkdir -p "$T"/{bin,"My Web",other,jail,firecfg,usr,alternatives,links,wrap,computed,wrapjail,named,fake} &&
  mkfifo "$T/fifo"
for d in bin "My Web" other; do cp /bin/sleep "$T/$d/$N"; done
cp /bin/sleep "$T/jail/$J"                                        # a sandbox that runs other programs
ln -s ../jail/"$J" "$T/firecfg/$N"                                # ... put in the browser's place on PATH
ln -s ../alternatives/x-www-browser "$T/usr/x-www-browser"         # Debian's alternatives, down to the program
ln -s ../links/"$N" "$T/alternatives/x-www-browser" && ln -s ../bin/"$N" "$T/links/$N"
# Launchers, as Debian's /usr/bin/chromium: the program in variables set to literal text; one that computes it;
# one that execs the sandbox.
printf '#!/bin/bash\nAPPNAME=%s\nBIN=%q  # where $APPNAME is\nPROGRAM=$BIN/$APPNAME\n' "$N" "$T/bin" > "$T/wrap/$N"
printf 'if [ "$1" = --debug ]; then gdb "$PROGRAM"\nelse\n  exec -a "$APPNAME" "$PROGRAM" "$@"\nfi\n' >> "$T/wrap/$N"
printf '#!/bin/sh\nHERE=$(dirname "$0")\nexec "$HERE/../bin/%s" "$@"\n' "$N" > "$T/computed/$N"
printf '#!/bin/sh\nexec %q "$@"\n' "$T/jail/$J" > "$T/wrapjail/$N"
printf '#!/bin/sh\nread -r x\n' > "$T/named/$N"                  # a script that only shares the name
cat > "$T/fake/flatpak" <<EOF
#!/bin/sh
{ printf '%s|' "\$@"; echo; } >> "$T/flatpak.log"
case \$1 in run) touch "$T/flatpak.on" ;; kill) rm -f "$T/flatpak.on" ;;
  ps) [ -f "$T/flatpak.on" ] && printf 'org.example.Other\norg.example.Web\n' ;; esac
EOF
for tool in xdg-settings xdg-mime; do printf '#!/bin/sh\necho %s >> "%s/xdg.log"\n' "$tool" "$T" > "$T/fake/$tool"; done
chmod +x "$T"/*/"$N" "$T"/fake/*

# The processes every Check must not take for the browser and every Quit must leave alone: shells blocked
# reading a pipe nobody writes to, a sleep, the other copy of the browser's file and the sandbox.
keep() { KEEP+=("$1") WHAT+=("$2"); }
for shell in sh bash; do "$shell" -c 'read -r x' <> "$T/fifo" & keep $! "$shell -c"; done
"$T/named/$N" <> "$T/fifo" & keep $! "a script of the browser's name"
sh -c "\"$T/bin/$N\" 0 & exec sleep 300" & keep $! "a sleep"   # leaves a dead stand-in it never reaps
"$T/other/$N" 300 & keep $! "the copy of the browser's file in another folder"
"$T/jail/$J" 300 & keep $! "the sandbox program"
within() { for _ in $(seq 150); do "$@" && return 0; sleep 0.02; done; return 1; }
# The processes to keep that have ended since the case began (an earlier case's fault is not told again).
ended() { for i in "${!KEEP[@]}"; do [ -e "/proc/${KEEP[i]}/exe" ] || printf '%s; ' "${WHAT[i]}"; done; }
newly_ended() { local now; now=$(ended); echo "${now#"$ended_before"}"; }
# Begun: each process to keep has become what it is to stay (its comm or its file), and the dead stand-in is
# there.
begun() { [ "$(cat /proc/{"${KEEP[0]}","${KEEP[2]}","${KEEP[3]}"}/comm 2>/dev/null)" = $'sh\n'"$N"$'\nsleep' ] &&
  grep -qs "^[0-9]* ($N) Z ${KEEP[3]} " /proc/[0-9]*/stat &&
  [ "/proc/${KEEP[4]}/exe" -ef "$T/other/$N" ] && [ "/proc/${KEEP[5]}/exe" -ef "$T/jail/$J" ]; }
within begun || { echo "browser_control: the processes to keep did not start" >&2; exit 1; }

run() { env -u BROWSER ${BR:+"BROWSER=$BR"} HOME="$H" XDG_CONFIG_HOME="$H" XDG_DATA_HOME="$H" XDG_CACHE_HOME="$H" \
  XDG_DATA_DIRS="$T/none" PATH="$T/fake:${FRONT:+$FRONT:}$T/bin:$PATH" "$SCRIPT" "$1"; }
says() { [ "$(run Check)" = "$1" ]; }
gone() { [ -z "$(standins)" ]; }
# A fresh home whose default browser is the Exec line or $BROWSER in $line (none when it is empty), with the
# folder of a leading "PATH=FOLDER " in front of the stand-ins' on PATH, where Check must say false before
# anything started, though the PID it would look at first (as found last time) is now the other copy's.
begin_case() {
  H="$(mktemp -d "$T/home-XXXX")" BR='' FRONT='' line="${line//@D@/$T}" line="${line//@N@/$N}" ended_before=$(ended)
  [[ $line = PATH=* ]] && FRONT="${line%% *}" FRONT="${FRONT#PATH=}" line="${line#* }"
  rm -f "$T"/*.log; [[ $line = BROWSER=* ]] && BR="${line#BROWSER=}"
  [[ $line = Exec=* ]] && mkdir "$H/applications" &&
    printf '[Desktop Entry]\nType=Application\nName=Web\n%s\n' "$line" > "$H/applications/web.desktop" &&
    printf '[Default Applications]\nx-scheme-handler/http=web.desktop\n' > "$H/mimeapps.list"
  mkdir "$H/BrindleX" && echo "${KEEP[4]}" > "$H/BrindleX/browser-pid"
  says false || fail "$label: Check before Start"
}

# Launcher forms: kind|case|the default browser's Exec line, or $BROWSER (@D@ is the stand-ins' folder, @N@
# their name). Started, the stand-in runs as "NAME 300" in a session of its own, its input /dev/null.
while IFS='|' read -r kind label line; do
  begin_case
  run Start && within says true || fail "$label: Start failed, or Check never said true after it"
  pids=$(standins)
  [ "$kind" = flatpak ] || [ -n "$pids" ] || fail "$label: no stand-in runs though Check says true"
  for pid in $pids; do
    mapfile -d '' argv < "/proc/$pid/cmdline"; read -r -a stat < "/proc/$pid/stat"   # pid (comm) state ppid pgrp sid
    [ "${argv[*]:1}" = 300 ] && [ "${stat[5]}" = "$pid" ] && [ "$(readlink "/proc/$pid/fd/0")" = /dev/null ] &&
      ! grep -qs browser-control "/proc/${stat[3]}/cmdline" || fail "$label: started as ${argv[*]}, or not detached"
  done
  run Quit && within says false || fail "$label: Quit failed, or Check still says true after it"
  [ "$kind" = run ] || [ "$(grep -vxF 'ps|--columns=application|' "$T/flatpak.log")" = \
    'run|--branch|stable|--command=a "b" \c|org.example.Web|100%|'$'\nkill|org.example.Web|' ] ||
    fail "$label: flatpak was run as: $(tr '\n' ' ' < "$T/flatpak.log")"
  within gone || fail "$label: a stand-in still runs after Quit"
  [ -z "$(newly_ended)" ] || fail "$label: Quit ended $(newly_ended)"
done <<'EOF'
run|plain path|Exec=@D@/bin/@N@ 300 %u
run|quoted path with spaces|Exec="@D@/My\sWeb/@N@" 300 %U
run|env with options and VAR=value, program on PATH|Exec=env -u HOME BX_A=1 @N@ 300 %F
run|sh -c exec with quotes|Exec=sh -c "exec \"@D@/bin/@N@\" \"\\$@\"" sh 300 %u
run|bash -c with a path, VAR=value|Exec=/bin/bash -c "BX_A=1 exec '@D@/My Web/@N@' 300" bash %U
run|dash -c|Exec=dash -ec "exec @D@/bin/@N@ 300" %u
run|launcher script that execs the program, named in variables|Exec=@D@/wrap/@N@ 300 %u
run|Debian's alternatives: links of other names, then one of the program's|Exec=@D@/usr/x-www-browser 300 %u
run|$BROWSER|BROWSER=@D@/bin/@N@ 300 %s:firefox
flatpak|flatpak run|Exec=/usr/bin/env BX_A=1 flatpak run --branch stable "--command=a \\"b\\" \\\\c" org.example.Web %U 100%%
EOF

# Refusals: case|Exec line or $BROWSER. Start and Quit fail with one line on stderr, and neither starts or
# ends anything (Check said false before, with the sandbox running). No default browser is looked up once,
# and again when mimeapps.list changes.
while IFS='|' read -r label line; do
  begin_case
  for c in Start Quit; do
    ! err=$(run $c 2>&1 >/dev/null) && [[ $err = ?* && $err != *$'\n'* ]] || fail "$label: $c said '$err'"
  done
  [ -n "$line" ] || { says false && [ "$(cat "$T/xdg.log")" = $'xdg-settings\nxdg-mime' ] &&
    touch -d '1 minute' "$H/mimeapps.list" && says false && [ "$(wc -l < "$T/xdg.log")" -eq 4 ] ||
    fail "$label: lookups $(tr '\n' ' ' < "$T/xdg.log")"; }
  gone || fail "$label: a refused Start started the program"
  [ -z "$(newly_ended)" ] || fail "$label: a refused Quit ended $(newly_ended)"
done <<'EOF'
a shell running a script|Exec=sh @D@/wrap/@N@ %u
env with nothing to run|Exec=env BX_A=1 %u
an interpreter behind env|Exec=/usr/bin/env perl -e "sleep 300"
an interpreter behind bash -c|Exec=bash -c "exec perl -e 'sleep 300'"
a missing program|Exec=@D@/bin/no-such-web %u
a link of the browser's name on PATH to a sandbox|PATH=@D@/firecfg BROWSER=@N@ 300
a launcher script that computes what it execs|Exec=@D@/computed/@N@ 300 %u
a launcher script that execs a program of another name|Exec=@D@/wrapjail/@N@ 300 %u
$BROWSER a shell|BROWSER=dash -c
no default browser|
EOF

[ "$failures" -eq 0 ] && echo "browser_control: started, found and quit in each launcher form, the rest refused"
