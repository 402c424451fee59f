# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# What scripts/run and scripts/screenshots share, sourced from the top of the checkout once the
# programs are built: a server with a simulated line on a free loopback port, a client linked
# to it with settings of its own, a virtual X server, and pictures of the screen. Each start
# records its process in demo_pids; stop_demo ends them, the last started first.

demo_pids=()

# say TEXT: what is happening, for whoever watches the script.
say() {
    echo "== $*"
}

# await SECONDS WHAT COMMAND [ARGS...]: runs the command every tenth of a second until it
# succeeds. After SECONDS it says that WHAT did not happen and fails.
await() {
    local seconds=$1 what=$2 deadline=$((SECONDS + $1))
    shift 2
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "$what did not happen within $seconds s." >&2
            return 1
        fi
        sleep 0.1
    done
}

stop_demo() {
    local i
    for ((i = ${#demo_pids[@]} - 1; i >= 0; i--)); do
        kill "${demo_pids[i]}" 2>/dev/null || true
        wait "${demo_pids[i]}" 2>/dev/null || true
    done
    demo_pids=()
}

# start_demo_server CONFIG LOG [PORT]: starts build/bin/velmora-server with the configuration
# file CONFIG on PORT, by default any free one (--port 0), its log in LOG, and waits until it
# listens. Sets demo_port to the port it took.
start_demo_server() {
    local config=$1 log=$2 server
    build/bin/velmora-server --config "$config" --port "${3:-0}" 2>"$log" &
    server=$!
    demo_pids+=("$server")
    demo_listening() {
        demo_port=$(sed -n 's/.*Listening on [^ ]*:\([0-9]*\)$/\1/p' "$log" | head -n 1)
        [ -n "$demo_port" ] && return 0
        if ! kill -0 "$server" 2>/dev/null; then
            echo "The server did not start; its log, $log, says:" >&2
            cat "$log" >&2
            exit 1
        fi
        return 1
    }
    await 10 "The server's start" demo_listening
}

# write_client_settings HOME [KEY=VALUE...]: the client's settings in HOME/Velmora/Velmora.conf
# (HOME stands for XDG_CONFIG_HOME): the demo server's address and port, then the given keys.
write_client_settings() {
    local home=$1
    shift
    mkdir -p "$home/Velmora"
    printf '[Configuration]\nServerIPAddress=127.0.0.1\nServerPort=%s\n' "$demo_port" \
        >"$home/Velmora/Velmora.conf"
    printf '%s\n' "$@" >>"$home/Velmora/Velmora.conf"
}

# The activity log of the client built in build/bin: a build's client writes its logs beside
# itself.
client_log=$PWD/build/bin/clientlog.txt

# client_logged R|S TEXT: whether the client's activity log holds TEXT as a message received (R)
# or sent (S): the whole message, or its start when TEXT ends in "*".
client_logged() {
    local label=DataArrival
    [ "$1" = S ] && label=SendData
    [ -f "$client_log" ] && awk -F '\t' -v label="$label" -v text="$2" '
        function matches(message) {
            if (text ~ /\*$/)
                return index(message, substr(text, 1, length(text) - 1)) == 1
            return message == text
        }
        { sub(/\r$/, "") }
        $2 == label && matches($3) { found = 1; exit }
        END { exit !found }' "$client_log"
}

# start_virtual_display FOLDER: starts Xvfb on a free display, which it names once it is ready
# (-displayfd), and sets DISPLAY to it. FOLDER keeps its log.
start_virtual_display() {
    local folder=$1
    rm -f "$folder/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$folder/display" \
        2>"$folder/xvfb.log" &
    demo_pids+=("$!")
    await 10 "The virtual X server's start" test -s "$folder/display"
    DISPLAY=":$(head -n 1 "$folder/display")"
    export DISPLAY
    unset WAYLAND_DISPLAY
}

# screenshot WINDOW FILE: a PNG of the window (an X window id, or "root" for the whole screen),
# with the frame a window manager gave it, once what it shows has settled (two pictures in a row, a tenth of a second apart, agree). The
# PNG holds no time stamp, so that the same picture makes the same file.
screenshot() {
    local window=$1 file=$2 previous="$2.previous.png"
    demo_grab() {
        import -silent -frame -window "$window" -define png:exclude-chunks=date,time "$1"
    }
    demo_grab "$previous"
    demo_settled() {
        demo_grab "$file"
        cmp -s "$file" "$previous" && return 0
        mv "$file" "$previous"
        return 1
    }
    await 10 "A still picture of the window" demo_settled
    rm -f "$previous"
}
