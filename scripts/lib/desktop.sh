# A throw-away desktop for the scripts: Xvfb, a private session bus with a
# notification daemon that logs what it is shown, a tray host, and a home.
# Source it; call desktop_start WORKDIR, and desktop_stop when done.

desktop_pids=()

desktop_start() {
  local work="$1"
  mkdir -p "$work/home/Documents" "$work/home/.config" "$work/home/.local/share"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  export XDG_RUNTIME_DIR="$work/runtime"; mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  printf 'XDG_DOCUMENTS_DIR="$HOME/Documents"\n' >"$XDG_CONFIG_HOME/user-dirs.dirs"

  local display_fd
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 1024x640x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  local n=""
  for _ in $(seq 100); do
    n=$(timeout 0.1 head -n1 <&"$display_fd" 2>/dev/null || true)
    [ -n "$n" ] && break
  done
  [ -n "$n" ] || { echo "desktop: Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"

  sed -e "s|@TYPE@|session|" -e "s|@SOCKET@|$work/bus|" \
    "$(dirname "${BASH_SOURCE[0]}")/../../tests/harness/servers/bus.conf" >"$work/bus.conf"
  dbus-daemon --config-file="$work/bus.conf" --nofork >"$work/bus.log" 2>&1 &
  desktop_pids+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
  for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
  /usr/bin/python3 -m dbusmock --template notification_daemon -l "$work/notifications.log" >"$work/dbusmock.log" 2>&1 &
  desktop_pids+=($!)
  export DBUS_SYSTEM_BUS_ADDRESS="disabled:"

  trayer --edge top --align right --widthtype request --height 28 --transparent false --tint 0x303030 \
    --SetDockType true >"$work/trayer.log" 2>&1 &
  desktop_pids+=($!)
  sleep 1
}

desktop_stop() {
  local pid
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

# Saves the screen as a PNG.
desktop_shot() {
  import -display "$DISPLAY" -window root "$1"
}
