#!/usr/bin/env bash
# Builds Mervane for 64-bit Windows on this Debian machine and tests it under
# wine on a virtual X server:
#
#   scripts/windows.sh [STEP...]
#
# STEP is one of (default: all of them, in this order)
#   setup   install the Debian packages the Windows build needs
#   qt      build Qt for Windows from Debian's qt6-base source, once, into the cache
#   gtest   build GoogleTest for Windows from Debian's googletest source, once
#   build   cross-build the programs and the tests into build-windows/
#   test    run the tests under wine, compare converter output with the Linux build
#   shot    draw docs/screenshot-windows.png under wine
#   zip     pack dist/mervane-<version>-windows-x64.zip
#
# The cache (Qt, GoogleTest, the wine prefix) lives outside the repository,
# in $MERVANE_WINDOWS_CACHE or ~/.cache/mervane-windows, and is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${MERVANE_WINDOWS_CACHE:-$HOME/.cache/mervane-windows}
build=${MERVANE_WINDOWS_BUILD:-build-windows}
jobs=${MERVANE_WINDOWS_JOBS:-$(nproc)}
triple=x86_64-w64-mingw32
qt_version=6.4.2
qt_prefix=$cache/qt-$qt_version
gtest_prefix=$cache/googletest
toolchain=$root/cmake/mingw-w64.cmake
export WINEPREFIX=$cache/wine
export WINEDEBUG=-all
# Without a UTF-8 locale wine mangles non-ASCII command-line arguments.
export LC_ALL=C.UTF-8

log() { printf '== %s\n' "$*"; }
now() { date +%s; }

step_setup() {
  local packages=(
    g++-mingw-w64-x86-64-posix   # the cross compiler, with std::thread
    wine wine64                  # runs the tests and the program
    xvfb xauth                   # a virtual X server for wine's windows
    zip dpkg-dev                 # packing; apt-get source unpacks with dpkg-source
    cmake ninja-build
    qt6-base-dev qt6-base-dev-tools  # moc, rcc and uic for the Windows Qt
    googletest                   # its source, built with the cross compiler
    imagemagick                  # compares the screenshot's colours
  )
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    log "installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The configure options are part of the cache's key: change them and Qt is
# built again.
qt_options() {
  cat <<EOF
-DCMAKE_BUILD_TYPE=Release
-DBUILD_SHARED_LIBS=ON
-DQT_HOST_PATH=/usr
-DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
-DINPUT_opengl=desktop
-DFEATURE_tabletevent=OFF
-DFEATURE_sql=OFF
-DFEATURE_network=OFF
-DFEATURE_dbus=OFF
-DFEATURE_printsupport=OFF
-DFEATURE_concurrent=OFF
-DFEATURE_xml=OFF
-DFEATURE_vulkan=OFF
-DFEATURE_direct2d=OFF
-DFEATURE_imageformatplugin=OFF
-DQT_BUILD_EXAMPLES=OFF
-DQT_BUILD_TESTS=OFF
EOF
}

step_qt() {
  local key
  key=$( (qt_options; cat "$toolchain"; $triple-g++-posix --version | head -1) | sha256sum | cut -c1-16)
  if [ -f "$qt_prefix/.mervane-$key" ]; then
    log "Qt $qt_version for Windows: cached in $qt_prefix"
    return
  fi
  local start work
  start=$(now)
  work=$cache/qt-work
  mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial"
  # Debian's own source package, through a sources list of our own so that
  # the system's apt configuration stays as it is.
  if [ ! -d "$work/src" ]; then
    log "fetching Debian's qt6-base source"
    cat >"$work/apt/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
EOF
    local apt_opts=(
      -o "Dir::Etc::sourcelist=$work/apt/sources.list" -o Dir::Etc::sourceparts=-
      -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache::Archives=$work/apt/archives"
      -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root
    )
    apt-get "${apt_opts[@]}" update -qq
    rm -rf "$work/fetch" && mkdir -p "$work/fetch"
    (cd "$work/fetch" && apt-get "${apt_opts[@]}" source -qq qt6-base >/dev/null)
    local dir
    dir=$(find "$work/fetch" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -1)
    case $dir in
      *-$qt_version*) ;;
      *) echo "windows.sh: expected qt6-base $qt_version, got ${dir##*/}" >&2; exit 1 ;;
    esac
    mv "$dir" "$work/src"
    (cd "$work/src" && dpkg-parsechangelog -S Version) >"$work/version"
    rm -rf "$work/fetch"
  fi
  log "configuring Qt for Windows"
  local options
  mapfile -t options < <(qt_options)
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    "${options[@]}" >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log"; exit 1; }
  log "building Qt for Windows ($jobs jobs; takes a while)"
  cmake --build "$work/build" -j"$jobs" >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; exit 1; }
  rm -rf "$qt_prefix"
  cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log"; exit 1; }
  # The licence texts go into the zip; the source itself is not kept.
  mkdir -p "$qt_prefix/licenses"
  [ ! -d "$work/src/LICENSES" ] || cp "$work/src/LICENSES/"* "$qt_prefix/licenses/"
  cp "$work/src/debian/copyright" "$qt_prefix/licenses/debian-copyright"
  cp "$work/version" "$qt_prefix/licenses/debian-source-version"
  rm -rf "$work"
  touch "$qt_prefix/.mervane-$key"
  log "Qt for Windows built in $(($(now) - start)) s"
}

# GoogleTest from Debian's source package, built with the cross compiler.
step_gtest() {
  local key
  key=$( (cat "$toolchain"; dpkg-query -W -f='${Version}' googletest; $triple-g++-posix --version | head -1) \
    | sha256sum | cut -c1-16)
  [ -f "$gtest_prefix/.mervane-$key" ] && return
  log "building GoogleTest for Windows"
  local work=$cache/gtest-work
  rm -rf "$work" "$gtest_prefix"
  cmake -S /usr/src/googletest -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=OFF >"$cache/gtest.log" 2>&1 &&
    cmake --build "$work" -j"$jobs" >>"$cache/gtest.log" 2>&1 &&
    cmake --install "$work" >>"$cache/gtest.log" 2>&1 || { tail -n 40 "$cache/gtest.log"; exit 1; }
  rm -rf "$work"
  touch "$gtest_prefix/.mervane-$key"
}

step_build() {
  step_gtest
  local gui=${MERVANE_WINDOWS_GUI:-ON} toolchain_file=$toolchain
  if [ "$gui" = ON ]; then
    # Qt's own toolchain file loads ours and adds what Qt needs.
    toolchain_file=$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake
    [ -f "$toolchain_file" ] || { echo "windows.sh: Qt for Windows is not built yet (step qt)" >&2; exit 1; }
  fi
  log "cross-building Mervane into $build"
  local start
  start=$(now)
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DCMAKE_BUILD_TYPE=Release \
    -DMERVANE_GUI="$gui" -DMERVANE_BENCH=OFF -DCMAKE_PREFIX_PATH="$gtest_prefix" \
    -DMERVANE_WINDOWS_PREFIXES="$gtest_prefix;$qt_prefix" >"$cache/configure-mervane.log" 2>&1 ||
    { tail -n 40 "$cache/configure-mervane.log"; exit 1; }
  cmake --build "$build" -j"$jobs"
  # The DLLs beside the programs, as in the zip, so that wine finds them.
  local dll
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do
    cp -u "$($triple-g++-posix -print-file-name=$dll)" "$build/"
  done
  cp -u /usr/$triple/lib/libwinpthread-1.dll "$build/"
  if [ "$gui" = ON ]; then
    for dll in Core Gui Widgets OpenGL OpenGLWidgets Test; do cp -u "$qt_prefix/bin/Qt6$dll.dll" "$build/"; done
    mkdir -p "$build/platforms" "$build/styles"
    cp -u "$qt_prefix/plugins/platforms/"{qwindows,qoffscreen}.dll "$build/platforms/"
    cp -u "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$build/styles/"
  fi
  log "Windows build done in $(($(now) - start)) s"
}

main() {
  local steps=("$@") s
  ((${#steps[@]})) || steps=(setup qt gtest build test shot zip)
  for s in "${steps[@]}"; do
    case $s in
      setup | qt | gtest | build | test | shot | zip) "step_$s" ;;
      *) echo "windows.sh: unknown step $s" >&2; exit 2 ;;
    esac
  done
}

# On one line, so that bash has read all of it before it runs.
main "$@"; exit
