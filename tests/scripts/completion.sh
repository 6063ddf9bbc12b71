#!/usr/bin/env bash
# brindlexctl's bash completion against the program's own --help: every command the help lists is offered, and
# after each command every option its help line shows; every option of the help's option list is offered
# somewhere. Files are offered after -o and --database, and the keys of the database the line names where a
# command takes a key. A command the completion offers beyond the help does not fail this, so the completion can
# know a command before this branch's program does.
# Usage: completion.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail
CTL="$(cd "${1:?usage: completion.sh BUILD_DIR}" && pwd)/brindlexctl"   # not built: its --help fails
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HELPERS=/usr/share/bash-completion/bash_completion
[ -f "$HELPERS" ] || { echo "completion: bash-completion is not installed ($HELPERS)" >&2; exit 1; }
WORK="$(mktemp -d "${TMPDIR:-/tmp}/brindlex-completion-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "completion: FAILED: $*" >&2; failures=$((failures + 1)); }

set +eu   # bash-completion's functions expect the shell's defaults
# shellcheck source=/dev/null
source "$HELPERS"
# shellcheck source=../../packaging/linux/brindlexctl.bash-completion
source "$ROOT/packaging/linux/brindlexctl.bash-completion"

# What the completion offers with the cursor at the end of "brindlexctl $1": the words, one a line, sorted.
offered() {
    local line="$CTL $1"
    COMP_LINE=$line COMP_POINT=${#line} COMPREPLY=()
    read -ra COMP_WORDS <<< "$line"
    [ "${line: -1}" = " " ] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _brindlexctl "$CTL" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort -u
}
# Fails unless every word of $2.. is among those offered for $1.
expect() {
    local got missing=() w
    got=$(offered "$1")
    for w in "${@:2}"; do grep -qxF -- "$w" <<< "$got" || missing+=("$w"); done
    [ ${#missing[@]} -eq 0 ] || fail "'brindlexctl $1' offers $(tr '\n' ' ' <<< "$got")but not ${missing[*]}"
}

# --- the help, read as its reader reads it -------------------------------------------------------------------
help=$("$CTL" --help) || fail "brindlexctl --help"
# "  name [--opt] [-o FILE] ..." under "Commands:", up to the first blank line.
command_lines=$(sed -n '/^Commands:$/,/^$/p' <<< "$help" | grep -E '^  [a-z]')
options=$(sed -n '/^Options:$/,/^$/p' <<< "$help" | grep -E '^  -' | sed -E 's/  +[^ -].*$//; s/<[^>]*>//g' |
          grep -oE -- '--?[a-z][a-z-]*')
[ -n "$command_lines" ] && [ -n "$options" ] || fail "no commands or options read from --help"

commands=()
while read -r name rest; do
    commands+=("$name")
    # The options the command's line shows (its description starts after two spaces), each offered after it.
    line_options=$(sed -E 's/  +[^ ].*$//' <<< "$rest" | grep -oE -- '(^|[[ |(])--?[a-z][a-z-]*' | tr -d '[ |(' || :)
    # shellcheck disable=SC2086
    expect "$name -" --database $line_options
    # An option with choices ("--format atom|json") offers them.
    while read -r option choices; do
        [ -n "$option" ] || continue
        # shellcheck disable=SC2086
        expect "$name $option " ${choices//|/ }
    done < <(grep -oE -- '--[a-z-]+ [a-z0-9]+(\|[a-z0-9]+)+' <<< "$rest" || :)
done <<< "$command_lines"
expect "" "${commands[@]}"

# Every option of the help's list, offered before a command or after one of them.
everywhere=$( { offered "-"; for c in "${commands[@]}"; do offered "$c -"; done; } | sort -u)
for o in $options; do grep -qxF -- "$o" <<< "$everywhere" || fail "no completion offers $o"; done

# --- values: files, and the keys of the database the line names -----------------------------------------------
FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
sqlite3 "$WORK/Database3" < "$FIXTURE" > /dev/null
: > "$WORK/feeds.opml"
expect "export-opml -o $WORK/fe" "$WORK/feeds.opml"
expect "list --database $WORK/Data" "$WORK/Database3"
keys=$(sqlite3 "$WORK/Database3" 'SELECT id FROM Sources' | sort)   # the fixture's seven
for line in "--database $WORK/Database3 mark-read " "mark-unread --database=$WORK/Database3 " \
            "reset --no-restart --database $WORK/Database3 "; do
    got=$(offered "$line")
    [ "$got" = "$keys" ] || fail "'brindlexctl $line' offers $(tr '\n' ' ' <<< "$got")not the keys $(tr '\n' ' ' <<< "$keys")"
done
# One key a command: after it, options only.
got=$(offered "--database $WORK/Database3 mark-read $(head -n 1 <<< "$keys") ")
! grep -qE '^[0-9]+$' <<< "$got" || fail "a second key is offered: $(tr '\n' ' ' <<< "$got")"

[ "$failures" -eq 0 ] || exit 1
echo "completion: ${#commands[@]} commands and $(wc -w <<< "$options") options of --help offered; files and keys too"
