#!/bin/sh
# A fork-free "Check", tried against scripts/browser-control by the browser-check benchmark: the same
# answer for a browser named by $BROWSER (or the program cached by browser-control's default-browser
# lookup), found by reading /proc/<pid>/comm of this user's processes with the shell's own `read`.
# Every $(...), pipe and external command would start a process: 0.7 ms or more each on these machines.
[ "${1:-}" = Check ] || exec "$(dirname "$0")/../../scripts/browser-control" "$@"

program=
if [ -n "${BROWSER:-}" ]; then
    program=${BROWSER%%:*}
    # The first word that is not "env" or an assignment, as browser-control's program_of.
    set -f
    # shellcheck disable=SC2086
    set -- $program
    while [ $# -gt 0 ]; do
        case $1 in env|*=*) shift ;; *) program=$1; break ;; esac
    done
    [ $# -gt 0 ] || program=
    set +f
else
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/BrindleX/default-browser
    [ -f "$cache" ] && IFS= read -r program < "$cache"
fi
name=${program##*/}
if [ -n "$name" ]; then
    for dir in /proc/[0-9]*; do
        IFS= read -r comm < "$dir/comm" 2>/dev/null || continue
        # The kernel keeps the first 15 bytes of the executable's (or launcher script's) name in comm.
        if [ "$comm" = "$name" ] || { [ ${#comm} -eq 15 ] && case $name in "$comm"*) true ;; *) false ;; esac; }; then
            [ -O "$dir" ] || continue                    # another user's browser is not ours
            echo true
            exit 0
        fi
    done
fi
echo false
