# Sourced by the installation checks (tests/scripts/install.sh, package.sh): the installed BrindleX at work.
# start_and_quit PROGRAM WORK: starts PROGRAM on the offscreen platform with a home of its own in WORK/home, and
# waits until it has written its preferences and its browser-control script has run: nothing stands beside an
# installed program, so the script can only be the installed one, and it notes the browser it read (here one
# that is not installed) in its cache. Then ends it with SIGTERM, as the session does at logout, and expects it
# to quit by itself with status 0 within 10 s. Prints what went wrong and returns 1 on any failure.
start_and_quit() {
    local program=$1 work=$2 app i why=
    local home="$work/home" cache="$work/home/.cache/BrindleX/browser"
    mkdir -p "$home" && mkdir -p -m 700 "$work/runtime"
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME BROWSER="$work/web-browser" HOME="$home" \
        XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$program" > "$work/app.log" 2>&1 &
    app=$!
    for ((i = 0; i < 100; i++)); do [ ! -s "$cache" ] && kill -0 $app 2>/dev/null || break; sleep 0.1; done
    if [ ! -s "$cache" ] || ! grep -qF "'$work/web-browser'" "$cache"; then
        why="ended, or ran no browser-control script within 10 s (cache: $(cat "$cache" 2>/dev/null))"
    elif [ ! -f "$home/.local/share/BrindleX/Preferences/Brindle.plist" ]; then
        why="wrote no preferences"
    else
        kill -TERM $app
        for ((i = 0; i < 100; i++)); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
        ! kill -0 $app 2>/dev/null || why="did not quit within 10 s of SIGTERM"
    fi
    if [ -n "$why" ]; then kill -9 $app 2>/dev/null; wait $app 2>/dev/null
    else wait $app || why="ended with status $? on SIGTERM"; fi
    [ -z "$why" ] || { cat "$work/app.log" >&2; echo "$program $why"; return 1; }
}
