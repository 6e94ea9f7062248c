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
