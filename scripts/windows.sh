#!/usr/bin/env bash
# Builds Mervane for 64-bit Windows on this Debian machine and tests it under
# wine on a virtual X server:
#
#   scripts/windows.sh [STEP...]
#
# STEP is one of (default: all of them, in this order)
#   setup   install the Debian packages the Windows build needs
#   qt      build Qt for Windows from Debian's qt6-base source, once, into the cache
#   imagequant  build libimagequant for Windows from Debian's source, once, into the cache
#   gtest   build GoogleTest for Windows from Debian's googletest source, once
#   build   cross-build the programs and the tests into build-windows/
#   test    run the tests under wine, compare converter output with the Linux build
#   shot    draw docs/screenshot-windows.png under wine
#   zip     pack dist/mervane-<version>-windows-x64.zip
#
# The cache (Qt, libimagequant, GoogleTest, the wine prefix) lives outside the repository,
# in $MERVANE_WINDOWS_CACHE or ~/.cache/mervane-windows, and is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${MERVANE_WINDOWS_CACHE:-${HOME:-/root}/.cache/mervane-windows}
build=${MERVANE_WINDOWS_BUILD:-build-windows}
jobs=${MERVANE_WINDOWS_JOBS:-$(nproc)}
triple=x86_64-w64-mingw32
qt_version=6.4.2
qt_prefix=$cache/qt-$qt_version
gtest_prefix=$cache/googletest
imagequant_prefix=$cache/imagequant
toolchain=$root/cmake/mingw-w64.cmake
export WINEPREFIX=$cache/wine
export WINEDEBUG=-all
# Without a UTF-8 locale wine mangles non-ASCII command-line arguments.
export LC_ALL=C.UTF-8
# No Mono or Gecko: nothing here needs them, and wine would offer to fetch them.
# No debugger on a crash: it would wait for ever and hold the run; the suite
# reports the crash by its exit status.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

log() { printf '== %s\n' "$*"; }
now() { date +%s; }

step_setup() {
  # The Linux build writes the reference files that the Windows tests compare with.
  bash scripts/setup.sh
  local packages=(
    g++-mingw-w64-x86-64-posix   # the cross compiler, with std::thread
    wine wine64                  # runs the tests and the program
    fonts-wine                   # wine's own fonts; only recommended, and text needs them
    xvfb                         # a virtual X server for wine's windows
    zip unzip dpkg-dev           # packing and trying the zip; apt-get source unpacks with dpkg-source
    xdotool                      # opens the File menu for the screenshot
    cmake ninja-build
    qt6-base-dev qt6-base-dev-tools  # moc, rcc and uic for the Windows Qt
    googletest                   # its source, built with the cross compiler
    imagemagick                  # takes the screenshot off the virtual screen
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
-DFEATURE_imageformatplugin=OFF
-DQT_BUILD_EXAMPLES=OFF
-DQT_BUILD_TESTS=OFF
EOF
}

# Fetches Debian's source package $1 (its version starting with $3, when
# given) into $2/src, and its Debian version into $2/version, through a
# sources list of our own so that the system's apt configuration stays as
# it is. A source fetched before is kept.
fetch_source() {
  local package=$1 work=$2 version=${3:-}
  [ ! -d "$work/src" ] || return 0
  log "fetching Debian's $package source"
  mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial"
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
  (cd "$work/fetch" && apt-get "${apt_opts[@]}" source -qq "$package" >/dev/null)
  local dir
  dir=$(find "$work/fetch" -maxdepth 1 -mindepth 1 -type d -name "$package-*" | head -1)
  case ${dir##*/} in
    "$package-$version"*) ;;
    *) echo "windows.sh: expected $package $version, got ${dir##*/}" >&2; exit 1 ;;
  esac
  mv "$dir" "$work/src"
  (cd "$work/src" && dpkg-parsechangelog -S Version) >"$work/version"
  rm -rf "$work/fetch"
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
  fetch_source qt6-base "$work" "$qt_version"
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

# libimagequant's library sources, compiled as they are into a static
# library with the flags its configure script picks for x86-64 with SSE, as
# Debian's build does, but without OpenMP, which would bring a DLL of its
# own. Its hidden-visibility marks mean nothing in a Windows library, hence
# -Wno-attributes. The flags, the sources and the compiler are the cache's key.
imagequant_flags() {
  echo -std=c99 -O3 -DNDEBUG -fno-math-errno -funroll-loops -fomit-frame-pointer -DUSE_SSE=1 -msse -Wno-attributes
}
imagequant_sources=(blur.c kmeans.c libimagequant.c mediancut.c mempool.c nearest.c pam.c)

step_imagequant() {
  local key
  key=$( (imagequant_flags; echo "${imagequant_sources[@]}"; $triple-gcc-posix --version | head -1) |
    sha256sum | cut -c1-16)
  if [ -f "$imagequant_prefix/.mervane-$key" ]; then
    log "libimagequant for Windows: cached in $imagequant_prefix"
    return
  fi
  local work=$cache/imagequant-work
  fetch_source libimagequant "$work" 2.
  log "building libimagequant for Windows"
  rm -rf "$work/obj" "$imagequant_prefix" "$cache/imagequant.log"
  mkdir -p "$work/obj" "$imagequant_prefix/include" "$imagequant_prefix/lib/pkgconfig" "$imagequant_prefix/licenses"
  local flags source objects=()
  read -ra flags < <(imagequant_flags)
  for source in "${imagequant_sources[@]}"; do
    $triple-gcc-posix "${flags[@]}" -c "$work/src/$source" -o "$work/obj/${source%.c}.o" >>"$cache/imagequant.log" 2>&1 ||
      { tail -n 40 "$cache/imagequant.log"; exit 1; }
    objects+=("$work/obj/${source%.c}.o")
  done
  $triple-gcc-ar-posix rcs "$imagequant_prefix/lib/libimagequant.a" "${objects[@]}"
  cp "$work/src/libimagequant.h" "$imagequant_prefix/include/"
  local version
  version=$(cat "$work/version")
  # What CMake's pkg-config search finds for Windows (see CMakeLists.txt).
  cat >"$imagequant_prefix/lib/pkgconfig/imagequant.pc" <<EOF
prefix=$imagequant_prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: imagequant
Description: libimagequant from Debian's source $version, static, for Windows
Version: ${version%%-*}
Libs: -L\${libdir} -limagequant
Cflags: -I\${includedir}
EOF
  # The licence goes into the zip; the source itself is not kept.
  cp "$work/src/debian/copyright" "$imagequant_prefix/licenses/debian-copyright"
  cp "$work/version" "$imagequant_prefix/licenses/debian-source-version"
  rm -rf "$work"
  touch "$imagequant_prefix/.mervane-$key"
  log "libimagequant $version for Windows built"
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
  step_imagequant
  local gui=${MERVANE_WINDOWS_GUI:-ON} toolchain_file=$toolchain
  if [ "$gui" = ON ]; then
    # Qt's own toolchain file loads ours and adds what Qt needs.
    toolchain_file=$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake
    [ -f "$toolchain_file" ] || { echo "windows.sh: Qt for Windows is not built yet (step qt)" >&2; exit 1; }
  fi
  log "cross-building Mervane into $build"
  local start
  start=$(now)
  # Qt's file remembers the toolchain by the path of the checkout that built
  # the cache, which may be gone: it is named here, from this checkout.
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DMERVANE_GUI="$gui" -DMERVANE_BENCH=OFF -DCMAKE_PREFIX_PATH="$gtest_prefix" \
    -DMERVANE_WINDOWS_PREFIXES="$gtest_prefix;$qt_prefix;$imagequant_prefix" >"$cache/configure-mervane.log" 2>&1 ||
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

# A virtual X server for wine's windows, shared by the steps of one run.
start_x() {
  [ -n "${xvfb_pid:-}" ] && return
  local file
  file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$file" 2>/dev/null &
  xvfb_pid=$!
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$file" ] && break
    sleep 0.1
  done
  export DISPLAY=:$(cat "$file")
  rm -f "$file"
  [ "$DISPLAY" != : ] || { echo "windows.sh: Xvfb did not start" >&2; exit 1; }
}

stop_x() {
  if [ -n "${xvfb_pid:-}" ]; then
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}

start_wine() {
  start_x
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}

# Runs one GoogleTest program under wine and adds up its results.
passed=0 failed=0 skipped=0
run_suite() {
  local name=$1
  shift
  log "$name under wine"
  local out status=0
  out=$(mktemp)
  (cd "$build" && "$@" --gtest_brief=1) >"$out.raw" 2>&1 || status=$?
  # Windows programs end their lines with CR LF.
  tr -d '\r' <"$out.raw" >"$out"
  rm -f "$out.raw"
  sed '/^Running main()/d' "$out" | tail -n 40
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?[.,].*/\1/p' "$out")
  # Each failed test has a line of its own.
  f=$(grep -cE '^\[  FAILED  \] [A-Za-z0-9_/]+\.[A-Za-z0-9_/]+ \(' "$out" || true)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?[.,].*/\1/p' "$out")
  rm -f "$out"
  if [ -z "$p" ]; then
    echo "$name did not finish (exit status $status)"
    ((f > 0)) || f=1
  elif [ "$status" -ne 0 ] && ((f == 0)); then
    echo "$name ended with status $status"
    f=1
  fi
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
}

step_test() {
  local start
  start=$(now)
  # The Linux build's files for the byte comparison: the same fixed set of
  # conversions, built without the desktop program.
  log "Linux reference output"
  cmake -S . -B build-linux-ref -DCMAKE_BUILD_TYPE=Release -DMERVANE_GUI=OFF -DMERVANE_BENCH=OFF >/dev/null
  cmake --build build-linux-ref -j"$jobs" --target mervane_output_set >/dev/null
  local ref
  ref=$(mktemp -d)
  build-linux-ref/mervane_output_set "$root/tests/data" "$ref"
  start_wine
  run_suite "core and converter tests" wine ./mervane_tests.exe
  MERVANE_LINUX_OUTPUT=$ref run_suite "Windows file and path tests" wine ./mervane_windows_tests.exe
  if [ -f "$build/mervane_gui_tests.exe" ]; then
    QT_QPA_PLATFORM=offscreen run_suite "GUI tests" wine ./mervane_gui_tests.exe
    QT_QPA_PLATFORM=windows run_suite "Windows window tests" wine ./mervane_windows_gui_tests.exe
    QT_QPA_PLATFORM=windows run_suite "preview rendering tests" wine ./mervane_preview_tests.exe
    # Wine's OpenGL is the host's Mesa. Under Mesa's OpenGL 1.1 override,
    # Qt's Windows plugin gets no context from wine at all, so this is the
    # window of a Windows machine without a usable OpenGL; the 1.1 message
    # itself is checked on Linux.
    QT_QPA_PLATFORM=windows MESA_GL_VERSION_OVERRIDE=1.1 MESA_GLSL_VERSION_OVERRIDE=100 MERVANE_NO_OPENGL=no-context \
      run_suite "window without OpenGL 2" wine ./mervane_no_opengl_tests.exe
  fi
  rm -rf "$ref"
  log "wine tests took $(($(now) - start)) s"
  summary="Windows: $passed passed, $failed failed, $skipped skipped"
  ((failed == 0)) || { echo "$summary"; exit 1; }
}

# docs/screenshot-windows.png: mervane.exe under wine on the example skin,
# copied into a user's folder with a non-ASCII name, after File > Open
# (Alt+F, O) has read it from the command line. Wine draws the window's frame
# itself, as Windows would.
step_shot() {
  start_wine
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1
  local folder="$WINEPREFIX/drive_c/Users/Zoë/Documents/Skins"
  mkdir -p "$folder"
  cp examples/mannequin.skn "$folder/"
  local shot=$root/docs/screenshot-windows.png pid
  (cd "$build" && exec wine ./mervane.exe 'C:\Users\Zoë\Documents\Skins\mannequin.skn') >/dev/null 2>&1 &
  pid=$!
  local window="" i
  for ((i = 0; i < 60; i++)); do
    window=$(xdotool search --name 'Mervane' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || { echo "windows.sh: mervane.exe showed no window" >&2; kill "$pid"; exit 1; }
  sleep 2
  xdotool key --clearmodifiers alt+f
  sleep 1
  xdotool key o
  sleep 4
  import -window root -silent "$shot.tmp.png"
  xdotool key alt+F4 2>/dev/null || true
  sleep 1
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # The window and its frame, without the empty screen around it.
  convert "$shot.tmp.png" -trim +repage "$shot"
  rm -f "$shot.tmp.png"
  log "wrote docs/screenshot-windows.png ($(identify -format '%wx%h' "$shot"))"
}

step_zip() {
  local version name stage
  version=$(sed -n 's/^project(Mervane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  name=mervane-$version-windows-x64
  stage=$(mktemp -d)
  local dir=$stage/$name
  mkdir -p "$dir/platforms" "$dir/styles" "$dir/licenses" dist
  cp "$build/mervane.exe" "$build/mervane-convert.exe" "$dir/"
  local dll
  for dll in Core Gui Widgets OpenGL OpenGLWidgets; do cp "$qt_prefix/bin/Qt6$dll.dll" "$dir/"; done
  cp "$qt_prefix/plugins/platforms/qwindows.dll" "$dir/platforms/"
  cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$dir/styles/"
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do cp "$($triple-g++-posix -print-file-name=$dll)" "$dir/"; done
  cp /usr/$triple/lib/libwinpthread-1.dll "$dir/"
  find "$dir" -name '*.exe' -o -name '*.dll' | xargs $triple-strip --strip-unneeded
  # Every DLL that something here imports by a non-system name is here too.
  local missing
  missing=$(find "$dir" -name '*.exe' -o -name '*.dll' | xargs -n1 $triple-objdump -p |
    sed -n 's/^\s*DLL Name: //p' | sort -u | grep -E '^(Qt6|lib)' |
    while read -r dll; do [ -f "$dir/$dll" ] || echo "$dll"; done)
  [ -z "$missing" ] || { echo "windows.sh: the zip lacks $missing" >&2; exit 1; }
  # Windows' own text files: CR LF.
  sed 's/$/\r/' README.md >"$dir/README.md"
  cp examples/mannequin.skn "$dir/"
  sed "s/@QT_SOURCE_VERSION@/$(cat "$qt_prefix/licenses/debian-source-version")/;
    s/@IMAGEQUANT_SOURCE_VERSION@/$(cat "$imagequant_prefix/licenses/debian-source-version")/; s/$/\r/" \
    dist-extra/LICENSES.txt >"$dir/LICENSES.txt"
  cp /usr/share/common-licenses/LGPL-3 "$dir/licenses/LGPL-3.0.txt"
  cp /usr/share/common-licenses/GPL-3 "$dir/licenses/GPL-3.0.txt"
  cp "$qt_prefix/licenses/debian-copyright" "$dir/licenses/qt6-base-copyright.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dir/licenses/gcc-mingw-w64-copyright.txt"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$dir/licenses/mingw-w64-copyright.txt"
  cp "$imagequant_prefix/licenses/debian-copyright" "$dir/licenses/libimagequant-copyright.txt"
  cp /usr/share/doc/libstb-dev/copyright "$dir/licenses/stb-copyright.txt"
  cp /usr/share/doc/libtinygltf-dev/copyright "$dir/licenses/tinygltf-copyright.txt"
  cp /usr/share/doc/nlohmann-json3-dev/copyright "$dir/licenses/nlohmann-json-copyright.txt"
  local zip=dist/$name.zip
  rm -f "$zip"
  (cd "$stage" && zip -q -r -9 "$root/$zip" "$name")
  rm -rf "$stage"
  local size
  size=$(stat -c %s "$zip")
  log "packed $zip: $((size / 1024)) KiB"
  ((size < 20 * 1024 * 1024)) || { echo "windows.sh: the zip is over 20 MB" >&2; exit 1; }
  check_zip "$zip" "$name"
}

# The unpacked zip on its own, away from the build: the converter converts
# the example, and the desktop program opens its window.
check_zip() {
  local zip=$1 name=$2 dir
  dir=$(mktemp -d)
  unzip -q "$zip" -d "$dir"
  start_wine
  local app=$dir/$name
  (cd "$app" && wine ./mervane-convert.exe mannequin.skn 'Zoë körper.spj' >/dev/null &&
    wine ./mervane-convert.exe 'Zoë körper.spj' back.skn >/dev/null) ||
    { echo "windows.sh: the zip's converter failed" >&2; exit 1; }
  cmp -s "$app/mannequin.skn" "$app/back.skn" || { echo "windows.sh: the zip's round trip differs" >&2; exit 1; }
  (cd "$app" && exec wine ./mervane.exe mannequin.skn) >/dev/null 2>&1 &
  local pid=$! window="" i
  for ((i = 0; i < 60; i++)); do
    window=$(xdotool search --name 'Mervane' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$dir"
  [ -n "$window" ] || { echo "windows.sh: the zip's mervane.exe opened no window" >&2; exit 1; }
  log "the unpacked zip converts the example and opens its window"
}

main() {
  local steps=("$@") s
  ((${#steps[@]})) || steps=(setup qt imagequant gtest build test shot zip)
  for s in "${steps[@]}"; do
    case $s in
      setup | qt | imagequant | gtest | build | test | shot | zip) "step_$s" ;;
      *) echo "windows.sh: unknown step $s" >&2; exit 2 ;;
    esac
  done
  # The test results close the output.
  [ -z "${summary:-}" ] || echo "$summary"
}

# On one line, so that bash has read all of it before it runs.
trap stop_x EXIT
main "$@"; exit
