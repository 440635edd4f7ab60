#!/usr/bin/env bash
# Installs every Debian package the project needs on a Debian 12 machine and
# prepares the wine prefix. Safe to run again: what is already there is
# skipped, and a machine that has everything costs a few dpkg-query calls.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# Packages installed with their recommendations.
PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-dev
  libgtest-dev libgmock-dev googletest
  # portable AVX-512 instructions: the tests run the eight-lane kernel on
  # every processor (tests/engine/EmulatedAvx512.cpp)
  libsimde-dev
  libbenchmark-dev
  libpng-dev zlib1g-dev libsndfile1-dev libcurl4-openssl-dev
  libcairo2-dev libfreetype-dev fonts-liberation fonts-liberation2 fonts-dejavu-core
  # the editor's X11 window (Xlib, MIT-SHM) and the GUI rig's input (XTest)
  libx11-dev libxext-dev libxtst-dev
  valgrind
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev binutils-mingw-w64
  wine wine64
  xvfb xauth
  locales
)
# Packages installed without recommendations: wine32 would drag in a second
# copy of half the desktop, ardour (only its VST scanner is used) ~1 GB more;
# zenity answers the Linux editor's questions in the GUI step.
PACKAGES_LEAN=(
  wine32:i386
  ardour
  zenity
)

log() { echo "setup: $*"; }

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  SUDO=(sudo)
fi

# Another apt or dpkg run (for example an image's own background install)
# holds the locks; wait for it rather than failing.
wait_for_apt() {
  local waited=0
  while pgrep -x 'apt|apt-get|aptitude|dpkg|unattended-upgr' >/dev/null 2>&1; do
    if [ $waited -eq 0 ]; then log "waiting for a running apt/dpkg to finish"; fi
    sleep 3
    waited=$((waited + 3))
  done
}

APT_OPTS=(-y -q -o DPkg::Lock::Timeout=900
  -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)

is_installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = "installed" ]
}

missing_of() {
  local p
  for p in "$@"; do
    is_installed "$p" || echo "$p"
  done
}

wait_for_apt

need_update=0

# 32-bit wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture"
  "${SUDO[@]}" dpkg --add-architecture i386
  need_update=1
fi

# Source entries for the mirror apt already uses: the Windows builds compile
# libpng from Debian's source package (scripts/deps.sh).
has_deb_src() {
  grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null && return 0
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null && return 0
  return 1
}
if ! has_deb_src; then
  log "adding deb-src entries for the configured mirror"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # Same stanzas (URIs, suites, components, keys), type deb-src.
    awk '/^[[:space:]]*#/ {next}
         /^Types:/ {print "Types: deb-src"; next}
         {print}' /etc/apt/sources.list.d/debian.sources |
      "${SUDO[@]}" tee /etc/apt/sources.list.d/quarvi-deb-src.sources >/dev/null
  elif grep -Eqs '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list |
      "${SUDO[@]}" tee /etc/apt/sources.list.d/quarvi-deb-src.list >/dev/null
  else
    log "no deb line found to mirror as deb-src" >&2
    exit 1
  fi
  need_update=1
fi
if ! ls /var/lib/apt/lists/*_Sources* >/dev/null 2>&1; then
  need_update=1
fi

mapfile -t missing < <(missing_of "${PACKAGES[@]}")
mapfile -t missing_lean < <(missing_of "${PACKAGES_LEAN[@]}")
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
  need_update=1
fi

if [ $need_update -eq 1 ]; then
  log "apt-get update"
  wait_for_apt
  "${SUDO[@]}" apt-get "${APT_OPTS[@]}" update
fi
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  wait_for_apt
  "${SUDO[@]}" apt-get "${APT_OPTS[@]}" install "${missing[@]}"
fi
if [ ${#missing_lean[@]} -gt 0 ]; then
  log "installing ${missing_lean[*]} (without recommendations)"
  wait_for_apt
  "${SUDO[@]}" apt-get "${APT_OPTS[@]}" install --no-install-recommends "${missing_lean[@]}"
fi

# Every package must be there now (apt can succeed while skipping one).
mapfile -t still < <(missing_of "${PACKAGES[@]}" "${PACKAGES_LEAN[@]}")
if [ ${#still[@]} -gt 0 ]; then
  log "still missing: ${still[*]}" >&2
  exit 1
fi

# Locales with a decimal comma and with Turkish case folding: the tests check
# that numbers and names the instrument writes do not follow the process locale.
ensure_locale() {  # name input charset
  # locale -a lists names with the charset lower-cased and without dashes.
  local want
  want=$(echo "$1" | tr 'A-Z' 'a-z' | tr -d '-')
  if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$want"; then
    log "generating locale $1"
    localedef -i "$2" -f "$3" "$1" >/dev/null 2>&1 || log "could not generate $1 (the tests that need it skip)"
  fi
}
ensure_locale de_DE.UTF-8 de_DE UTF-8
ensure_locale tr_TR.ISO-8859-9 tr_TR ISO-8859-9

# Wine prefix. It must be made after wine32 is installed: a prefix created by
# a 64-bit-only wine cannot load 32-bit programs, nor later even 64-bit ones.
# A prefix without its 32-bit system folder is such a broken one: move it
# aside and make a new one.
PREFIX="${WINEPREFIX:-$HOME/.wine}"
export WINEDEBUG=-all
# Skip the Mono and Gecko installers: nothing here needs them, and their
# prompt would wait for a display.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
if [ -d "$PREFIX" ] && [ ! -f "$PREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  aside="$PREFIX.broken-$(date +%Y%m%d%H%M%S)"
  log "wine prefix $PREFIX has no 32-bit system folder; moving it to $aside"
  wineserver -k >/dev/null 2>&1 || true
  mv "$PREFIX" "$aside"
fi
if [ ! -f "$PREFIX/system.reg" ]; then
  log "creating the wine prefix $PREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ ! -f "$PREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    log "wine prefix creation failed ($PREFIX)" >&2
    exit 1
  fi
fi

log "done"
