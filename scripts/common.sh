# Shared by the project's scripts: package installation and the build.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
JOBS=$(nproc 2>/dev/null || echo 2)

# The packages below carry the same names on Debian 12 and Debian 13, except
# the libraries whose names changed with the 64-bit time_t move of Debian 13:
# there the old name is only a virtual package, which dpkg never reports as
# installed, so asking for it would repeat the install on every run. Any
# release after Debian 12 takes the new names.
DEBIAN_VERSION=$(. /etc/os-release 2>/dev/null && echo "${VERSION_ID:-}")
if [ "$DEBIAN_VERSION" = 12 ]; then
  LIBPIPEWIRE=libpipewire-0.3-0
else
  LIBPIPEWIRE=libpipewire-0.3-0t64
fi
# The sanitizers' and libFuzzer's run-time libraries of the release's own
# clang (14 on Debian 12, 19 on Debian 13).
CLANG_PACKAGES=(clang libclang-rt-dev)

# Packages the build, the tests and the show need.
PACKAGES=(cmake g++ make pkg-config libsdl2-dev libgl-dev libgl1-mesa-dri libegl1
          libjpeg62-turbo-dev libpng-dev libgtest-dev libbenchmark-dev
          xvfb xauth xdotool x11-utils openbox libx11-dev libxfixes-dev
          dpkg-dev file)
# What capturing the show to video needs: scripts/run without a display, and
# the video tests (which skip without it), so scripts/test installs it too.
VIDEO_PACKAGES=(ffmpeg)
# A desktop's sound servers, run privately with a null sink by the package
# tests and bench/soak.sh: PulseAudio, and PipeWire with its session manager
# and PulseAudio service (the library is what SDL's pipewire driver loads);
# the comparison of what they heard with the offline rendering (numpy for
# a 48000 Hz recording). Then Debian's checks of the package.
SOUND_PACKAGES=(pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber "$LIBPIPEWIRE"
                dbus-daemon python3 python3-numpy)
PACKAGE_CHECK_PACKAGES=(lintian desktop-file-utils appstream devscripts groff-base python3)
# Today's desktops, from Debian 13 on: a headless Wayland compositor (sway,
# with grim to read its frames back and the client libraries the tests'
# virtual keyboard and pointer are built with), and SDL 2's interface over
# SDL 3 (sdl2-compat) beside the release's own SDL 2. Debian 12's SDL 2.26
# cannot draw under a headless compositor, and it has no SDL 3.
if [ "$DEBIAN_VERSION" = 12 ]; then
  DESKTOP_PACKAGES=()
else
  DESKTOP_PACKAGES=(sway grim libwayland-dev libxkbcommon-dev xkb-data libsdl2-compat)
fi
# Everything scripts/test installs.
TEST_PACKAGES=("${PACKAGES[@]}" "${VIDEO_PACKAGES[@]}" "${SOUND_PACKAGES[@]}" "${PACKAGE_CHECK_PACKAGES[@]}"
               "${DESKTOP_PACKAGES[@]}")

# The directory of sdl2-compat's libSDL2-2.0.so.0 where a release ships it
# beside its own SDL 2 (Debian 13's libsdl2-compat), else nothing. A program
# built against SDL 2 runs on SDL 3 with it first on LD_LIBRARY_PATH, as on
# a release whose SDL 2 is sdl2-compat.
sdl2_compat_dir() {
  local dir
  for dir in /usr/lib/*-linux-gnu/sdl2-compat; do
    [ -e "$dir/libSDL2-2.0.so.0" ] && echo "$dir" && return 0
  done
  return 0
}

# Prints those of the given Debian packages that are not installed, one a
# line. A virtual package is never installed by that name, so it is always
# printed.
missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# Installs whatever of the given Debian packages is missing: with apt-get as
# root, through sudo otherwise; without either it prints the install line.
# Nothing is run, not even apt-get update, when nothing is missing.
ensure_packages() {
  local missing=()
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "Missing packages: ${missing[*]}" >&2
      echo "Install them with: apt-get install -y --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
  fi
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -q >&2 || true
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
    "${missing[@]}" >&2 || { echo "Could not install: ${missing[*]}" >&2; exit 1; }
  PACKAGES_INSTALLED=yes
}

# Configures and builds the tree in $1 (default build/) with the given extra
# CMake options. The data directory is the build's own data/. The tree is
# configured afresh whenever the options or the compilers (CC, CXX) differ
# from the ones it was configured with, so that no stale cache entry
# outlives the option that set it, and after ensure_packages installed
# anything: what the configure looked for and did not find may be there now
# (scripts/run installs less than scripts/test).
build_tree() {
  local dir=${1:-$BUILD}; shift || true
  local options=(-DDRMORVEL_DATA_DIR="$dir/data/" "$@")
  local wanted="CC=${CC:-} CXX=${CXX:-} ${options[*]}"
  local stamp="$dir/drmorvel-configured-with"
  if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ] ||
     [ "${PACKAGES_INSTALLED:-}" = yes ]; then
    # The cache and the compiler checks go; built objects stay, and the build
    # remakes those whose flags changed.
    rm -rf "$dir/CMakeCache.txt" "$dir"/CMakeFiles/[0-9]*.[0-9]*
    cmake -S "$ROOT" -B "$dir" "${options[@]}" >/dev/null
    printf '%s\n' "$wanted" > "$stamp"
  fi
  cmake --build "$dir" -j "$JOBS"
}
