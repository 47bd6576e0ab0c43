# Sourced: makes a fresh Wine prefix at $1 and starts its server and desktop
# with their output sent nowhere, so no helper process holds a caller's pipe.
# The caller ends the server with "wineserver -k" (see wine_prefix_end).
wine_prefix_start() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i > /dev/null 2>&1 < /dev/null
  # Keeps the server up between programs; it may be running already.
  wineserver -p > /dev/null 2>&1 < /dev/null || true
  # Wine draws the window frames itself, so screenshots show captions
  # without a window manager.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1 < /dev/null || true
  wine "$2" > /dev/null 2>&1 < /dev/null
}

wine_prefix_end() {
  wineserver -k > /dev/null 2>&1 || true
}
