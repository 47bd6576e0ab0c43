# Sourced. An isolated 32-bit Debian root with Debian's 32-bit Wine, run
# through the user-mode emulator, for the shipped i686 build: this machine's
# kernel cannot execute 32-bit code itself.
#
# The root is made once per machine under $TILEWRIGHT_I386_CACHE (default
# /var/cache/tilewright-i386, outside any build tree, so a fresh clone reuses
# it) and reused while its marker names the recipe below. The emulator and debootstrap are
# fetched into the cache with an apt configuration of its own: the host's
# packages and its 64-bit Wine stay as they are.
#
# i386_root_enter registers the emulator, mounts what the root needs and
# binds the repository at its own path inside it (so every path of the build
# is the same in and out); i386_root_leave ends the root's processes and
# undoes exactly what enter did, also after a failure half-way. Both need
# root. Only one session uses the root at a time.

I386_CACHE="${TILEWRIGHT_I386_CACHE:-/var/cache/tilewright-i386}"
I386_ROOT="$I386_CACHE/root"
I386_MIRROR="${TILEWRIGHT_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
I386_BINFMT=tilewright-i386
I386_QEMU="$I386_CACHE/qemu-i386"
I386_READY="$I386_ROOT/.tilewright-ready"
I386_TEMPLATE="$I386_CACHE/prefix"
I386_TEMPLATE_IN_ROOT=/var/tmp/tilewright-prefix
# Raised whenever what i386_build_root makes changes.
I386_RECIPE=2
I386_WINE_PACKAGES="wine wine32 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1"
I386_UNDO=()

i386_log() { echo "32-bit root: $*"; }

# apt-get with a configuration of its own in the cache: bookworm and its
# backports, never the host's sources, lists or package state.
i386_apt() {
  local apt="$I386_CACHE/apt"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial"
  touch "$apt/status"
  printf 'deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] %s %s main\n' \
    "$I386_MIRROR" bookworm "$I386_MIRROR" bookworm-backports > "$apt/sources.list"
  apt-get -q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
    -o Dir::State::Lists="$apt/lists" -o Dir::State::Status="$apt/status" \
    -o Dir::Cache="$apt" -o Dir::Cache::Archives="$apt/archives" "$@"
}

# The static emulator from bookworm-backports' qemu-user (the one in
# bookworm itself takes over a minute to start each Wine process) and
# debootstrap, unpacked.
i386_fetch_tools() {
  [ -x "$I386_QEMU" ] && [ -x "$I386_CACHE/debootstrap/usr/sbin/debootstrap" ] && return 0
  i386_log "fetching the emulator and debootstrap"
  i386_apt update > "$I386_CACHE/fetch.log" 2>&1 || { cat "$I386_CACHE/fetch.log"; return 1; }
  local debs="$I386_CACHE/debs"
  rm -rf "$debs" && mkdir -p "$debs"
  (cd "$debs" && i386_apt download qemu-user/bookworm-backports debootstrap/bookworm) \
    >> "$I386_CACHE/fetch.log" 2>&1 || { cat "$I386_CACHE/fetch.log"; return 1; }
  rm -rf "$I386_CACHE/debootstrap"
  dpkg-deb --fsys-tarfile "$debs"/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 > "$I386_QEMU.new" &&
    chmod 755 "$I386_QEMU.new" && mv "$I386_QEMU.new" "$I386_QEMU" &&
    dpkg-deb -x "$debs"/debootstrap_*.deb "$I386_CACHE/debootstrap" || return 1
  rm -rf "$debs"
}

i386_binfmt_register() {
  local misc=/proc/sys/fs/binfmt_misc
  if [ ! -e "$misc/register" ]; then
    mount -t binfmt_misc binfmt_misc "$misc" || return 1
    I386_UNDO+=("umount $misc")
  fi
  # The entry is ours by its name, also one a killed session left.
  I386_UNDO+=("echo -1 > $misc/$I386_BINFMT")
  [ -e "$misc/$I386_BINFMT" ] && return 0
  # i386 ELF, executables and shared objects; F opens the emulator now, so
  # it works inside the root where its path does not exist.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$I386_BINFMT:M::$magic:$mask:$I386_QEMU:F" > "$misc/register"
}

# Mounts $1 (a type or a source to bind) at the path $2 inside the root.
i386_mount() {
  local source="$1" target="$I386_ROOT$2"
  local undo="umount -l '$target'"
  case " ${I386_UNDO[*]} " in *" $undo "*) return 0 ;; esac
  mkdir -p "$target" || return 1
  # One left by a session that was killed is taken over, and undone too.
  if ! mountpoint -q "$target"; then
    case "$source" in
      proc|sysfs) mount -t "$source" "$source" "$target" ;;
      *) mount --bind "$source" "$target" ;;
    esac || return 1
  fi
  I386_UNDO+=("$undo")
}

# The mount points inside the root, deepest first.
i386_mounts_inside() {
  awk -v root="$I386_ROOT/" 'index($2, root) == 1 { print $2 }' /proc/mounts | sort -r
}

i386_mount_system() {
  i386_mount proc /proc && i386_mount sysfs /sys && i386_mount /dev /dev && i386_mount /dev/pts /dev/pts
}

# debootstrap's second stage and the package installation run inside the
# root through the emulator: about three minutes here.
i386_build_root() {
  i386_log "preparing $I386_ROOT once for this machine (about 3 minutes)"
  local log="$I386_CACHE/prepare.log"
  # Never remove through a bound /dev or repository.
  i386_mounts_inside | xargs -r -n 1 umount -l
  if [ -n "$(i386_mounts_inside)" ]; then
    i386_log "refusing to remove $I386_ROOT: something is still mounted inside it"
    return 1
  fi
  rm -rf "$I386_ROOT" "$I386_TEMPLATE"
  DEBOOTSTRAP_DIR="$I386_CACHE/debootstrap/usr/share/debootstrap" \
    "$I386_CACHE/debootstrap/usr/sbin/debootstrap" --arch=i386 --variant=minbase \
    bookworm "$I386_ROOT" "$I386_MIRROR" > "$log" 2>&1 || { tail -20 "$log"; return 1; }
  i386_mount_system && i386_mount /tmp/.X11-unix /tmp/.X11-unix && i386_copy_xauth || return 1
  cp /etc/resolv.conf "$I386_ROOT/etc/resolv.conf"
  chroot "$I386_ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c "apt-get -q update && apt-get -q install -y --no-install-recommends $I386_WINE_PACKAGES && apt-get clean" \
    >> "$log" 2>&1 || { tail -20 "$log"; return 1; }
  # A pristine prefix, copied for each session: making one costs 20 s.
  # Wine draws the window frames itself, so screenshots show captions
  # without a window manager; A:, where a session links it, is a floppy.
  local template=(i386_chroot_env WINEPREFIX="$I386_TEMPLATE_IN_ROOT")
  "${template[@]}" wineboot -i >> "$log" 2>&1 &&
    "${template[@]}" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >> "$log" 2>&1 &&
    "${template[@]}" wine reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f >> "$log" 2>&1 &&
    "${template[@]}" wineserver -w >> "$log" 2>&1 || { tail -20 "$log"; return 1; }
  mv "$I386_ROOT$I386_TEMPLATE_IN_ROOT" "$I386_TEMPLATE"
  echo "$I386_RECIPE" > "$I386_READY"
}

i386_root_ready() {
  [ "$(cat "$I386_READY" 2> /dev/null)" = "$I386_RECIPE" ]
}

# Runs a command, with variable assignments before it as env takes them,
# inside the root, in the current directory (the repository has the same
# path there) with a clean environment: the display and Wine's settings of
# the session, nothing else of the host.
i386_chroot_env() {
  chroot "$I386_ROOT" /usr/bin/env -i HOME=/root USER=root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DISPLAY="${DISPLAY:-}" XAUTHORITY=/tmp/.tilewright-xauth WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    /bin/sh -c 'cd "$0" 2> /dev/null || cd /; exec /usr/bin/env "$@"' "$PWD" "$@"
}

# Why this machine cannot run the root, or nothing.
i386_root_unavailable() {
  [ "$(id -u)" -eq 0 ] || { echo "not root (mounting and registering the emulator need root)"; return; }
  [ -d /proc/sys/fs/binfmt_misc ] || { echo "the kernel has no binfmt_misc"; return; }
}

# Enters the root for a session whose repository is at $1: prepares it when
# needed, mounts it and binds the repository. On failure the caller still
# calls i386_root_leave (from its trap).
i386_root_enter() {
  local repo="$1" reason
  reason=$(i386_root_unavailable)
  [ -z "$reason" ] || { i386_log "cannot run here: $reason"; return 1; }
  mkdir -p "$I386_CACHE"
  i386_fetch_tools || return 1
  i386_binfmt_register || return 1
  if ! i386_root_ready; then
    exec 9> "$I386_CACHE/.lock"
    flock 9 && { i386_root_ready || i386_build_root; }
    local status=$?
    exec 9>&-
    [ "$status" -eq 0 ] || return 1
  fi
  i386_mount_system && i386_mount /tmp/.X11-unix /tmp/.X11-unix && i386_mount "$repo" "$repo" &&
    i386_copy_xauth
}

# Programs in the root reach the session's X server through the bound
# socket, with the session's cookie.
i386_copy_xauth() {
  local cookie="${XAUTHORITY:-$HOME/.Xauthority}"
  rm -f "$I386_ROOT/tmp/.tilewright-xauth"
  [ ! -e "$cookie" ] || cp "$cookie" "$I386_ROOT/tmp/.tilewright-xauth"
}

# Ends every process whose root is inside the root, then undoes in reverse
# order what enter did.
i386_root_leave() {
  local proc
  for proc in /proc/[0-9]*; do
    case "$(readlink "$proc/root" 2> /dev/null)" in
      "$I386_ROOT"|"$I386_ROOT"/*) kill -9 "${proc#/proc/}" 2> /dev/null ;;
    esac
  done
  local i
  for ((i = ${#I386_UNDO[@]} - 1; i >= 0; i--)); do
    sh -c "${I386_UNDO[$i]}" 2> /dev/null || i386_log "could not undo: ${I386_UNDO[$i]}"
  done
  I386_UNDO=()
  rm -f "$I386_ROOT/tmp/.tilewright-xauth"
}

# Starts Wine in the entered root: a fresh copy of the pristine prefix at
# $1 (a path under the repository, the same inside the root), its server
# kept up, and its desktop held by $2 (the i686 winewarm.exe), all with
# their output sent nowhere, as on the host (wine-prefix.sh). A third
# argument is a folder linked as the removable drive A:.
i386_wine_start() {
  local prefix="$1" warm="$2" floppy="${3:-}"
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  cp -a "$I386_TEMPLATE" "$prefix" || return 1
  if [ -n "$floppy" ]; then
    mkdir -p "$floppy" && ln -sfn "$floppy" "$prefix/dosdevices/a:" || return 1
  fi
  export TILEWRIGHT_I386_PREFIX="$prefix"
  i386_chroot_env WINEPREFIX="$prefix" wineserver -p > /dev/null 2>&1 < /dev/null &&
    i386_chroot_env WINEPREFIX="$prefix" wine "$warm" > /dev/null 2>&1 < /dev/null || return 1
  i386_chroot_env WINEPREFIX="$prefix" wine "$warm" hold > /dev/null 2>&1 < /dev/null &
}
