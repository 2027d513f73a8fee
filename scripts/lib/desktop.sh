# The throw-away desktop of desktop.py for shell scripts: Xvfb, a private
# session bus with a notification daemon that logs what it is shown, trayer
# as the tray, and a home. Source it; call desktop_start, and desktop_stop
# when done. $WORK is the desktop's folder.

desktop_start() {
  coproc DESKTOP { exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/desktop.py"; }
  local line
  while read -r line <&"${DESKTOP[0]}"; do
    [ "$line" = ready ] && return 0
    export "${line?}"
  done
  echo "desktop: did not start" >&2
  return 1
}

desktop_stop() {
  [ -n "${DESKTOP_PID:-}" ] || return 0
  local pid=$DESKTOP_PID
  eval "exec ${DESKTOP[1]}>&-"
  wait "$pid" 2>/dev/null || true
}

# Saves the screen as a PNG.
desktop_shot() {
  import -display "$DISPLAY" -window root "$1"
}
