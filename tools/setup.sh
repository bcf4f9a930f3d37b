#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine and
# cross-builds the libraries that Debian does not ship for MinGW.
# Everything built lands under build/deps, so a second run does nothing.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps=$top/build/deps
prefix=$deps/mingw
mkdir -p "$deps"

"$top/tools/install_packages.sh" setup \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  libz-mingw-w64-dev wine64 wine xvfb fonts-wqy-microhei \
  cmake make openssl python3 iproute2 util-linux dpkg-dev googletest locales

toolchain=$top/cmake/mingw-w64-x86_64.cmake

# Wine takes code page 936 from a zh_CN locale, and names files with it only
# when the C library knows that locale: it is compiled here, privately, and
# used through LOCPATH (tests/sandbox.sh, tools/run.sh).
if [ ! -f "$deps/locale/zh_CN.UTF-8/LC_CTYPE" ]; then
  mkdir -p "$deps/locale"
  localedef -i zh_CN -f UTF-8 "$deps/locale/zh_CN.UTF-8" 2>/dev/null || true
  [ -f "$deps/locale/zh_CN.UTF-8/LC_CTYPE" ] || { echo "setup: cannot compile the zh_CN.UTF-8 locale" >&2; exit 1; }
fi

# libpng from Debian's source package. apt is pointed at a private source list
# and state folder under build/deps, so the machine's apt configuration stays
# as it was.
if [ ! -f "$prefix/lib/libpng16.a" ]; then
  aptdir=$deps/apt
  mkdir -p "$aptdir/sources" "$aptdir/lists/partial" "$deps/src"
  cat > "$aptdir/sources/debian-src.sources" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  aptopts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$aptdir/sources"
           -o Dir::State::Lists="$aptdir/lists" -o Debug::NoLocking=1)
  apt-get "${aptopts[@]}" update -qq
  (cd "$deps/src" && apt-get "${aptopts[@]}" source -qq --download-only libpng1.6/bookworm)
  rm -rf "$deps/src/libpng"
  mkdir -p "$deps/src/libpng"
  tar -xf "$(ls "$deps"/src/libpng1.6_*.orig.tar.* | head -n 1)" -C "$deps/src/libpng" --strip-components=1
  cmake -S "$deps/src/libpng" -B "$deps/build-libpng" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -Wno-dev >/dev/null
  cmake --build "$deps/build-libpng" -j"$(nproc)" >/dev/null
  cmake --install "$deps/build-libpng" >/dev/null
  echo "setup: libpng built into $prefix"
fi

# GoogleTest and GoogleMock from Debian's sources, cross-built.
if [ ! -f "$prefix/lib/libgtest.a" ]; then
  cmake -S /usr/src/googletest -B "$deps/build-gtest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/build-gtest" -j"$(nproc)" >/dev/null
  cmake --install "$deps/build-gtest" >/dev/null
  echo "setup: googletest built into $prefix"
fi
