# Sourced: makes a fresh Wine prefix at $1 and starts its server and desktop
# with their output sent nowhere, so no helper process holds a caller's pipe;
# $2 is winewarm.exe. Once the prefix is set up, wine_prefix_hold keeps the
# desktop up until the caller ends the server (see wine_prefix_end).
wine_prefix_start() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  WINE_PREFIX_WARM="$2"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i > /dev/null 2>&1 < /dev/null
  # Wine draws the window frames itself, so screenshots show captions
  # without a window manager.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1 < /dev/null || true
  wine_prefix_restart
}

# Starts the prefix's server, services and desktop again, as after a change
# that is read only when they start (the drive types, for one).
wine_prefix_restart() {
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w > /dev/null 2>&1 || true
  # Keeps the server up between programs.
  wineserver -p > /dev/null 2>&1 < /dev/null || true
  wine "$WINE_PREFIX_WARM" > /dev/null 2>&1 < /dev/null
}

# Wine ends the desktop when the last program with a window ends; the next
# program would start it again with its own output. A hidden window keeps
# it up. Called after the last restart: a program still starting while the
# server is ended would start a server of its own.
wine_prefix_hold() {
  wine "$WINE_PREFIX_WARM" hold > /dev/null 2>&1 < /dev/null &
}

wine_prefix_end() {
  wineserver -k > /dev/null 2>&1 || true
}
