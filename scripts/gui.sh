# Shared by the scripts that show windows under Wine: an X server without a screen, and the
# fonts a Windows machine has for the windows' texts.
# shellcheck shell=bash

readonly GUI_PACKAGES=(xvfb xauth fonts-wine python3)

# start_xvfb: a virtual screen of its own for this run; DISPLAY points to it afterwards.
start_xvfb() {
    local display
    for display in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
        Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        sleep 1
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$display"
            return 0
        fi
    done
    echo "No free display for Xvfb" >&2
    return 1
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

# add_window_fonts: "MS Sans Serif", Tahoma for the dialog font and Marlett for the title
# bar's buttons, as Windows has them; Wine's own copies come with fonts-wine.
add_window_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" name
    for name in sserife.fon ms_sans_serif.ttf tahoma.ttf tahomabd.ttf marlett.ttf; do
        [ -f "$fonts/$name" ] || cp "/usr/share/wine/fonts/$name" "$fonts/"
    done
}

# copy_demo_tree SOURCE: a fresh copy of the demo tree in the prefix's documents folder, where
# the window program looks first; prints the copy's path.
copy_demo_tree() {
    local documents
    documents="$WINEPREFIX/drive_c/users/$(id -un)/Documents"
    # Wine links the documents folder to the home folder; the demo must not write there.
    [ -L "$documents" ] && rm "$documents"
    mkdir -p "$documents"
    rm -rf "$documents/Eigene Diagnostik"
    cp -r "$1" "$documents/"
    echo "$documents/Eigene Diagnostik"
}

# drive_demo PROGRAM DRIVER FOLDER: the driver starts the window program on Wine's virtual
# desktop, which draws the frames as Windows would, previews, opens the folder dialog and
# presses "Ausführen"; it saves four pictures in FOLDER when every step worked.
drive_demo() {
    unprivileged wine explorer /desktop=vemor,1024x768 "$(winepath -w "$2")" "$(winepath -w "$1")" \
        "$(winepath -w "$3")" >/dev/null 2>&1 || true
}
