# Sourced: makes a fresh Wine prefix at $1 and starts its server and desktop
# with their output sent nowhere, so no helper process holds a caller's pipe;
# $2 is winewarm.exe, which then keeps the desktop up until the server ends.
# The caller ends the server with "wineserver -k" (see wine_prefix_end).
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
  wine "$WINE_PREFIX_WARM" hold > /dev/null 2>&1 < /dev/null &
}

wine_prefix_end() {
  wineserver -k > /dev/null 2>&1 || true
}
