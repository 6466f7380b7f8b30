#!/usr/bin/env bash
# Builds every artifact of a release from the committed tree (HEAD), so
# that two clones of one commit give byte-identical files, and writes them
# with their SHA256SUMS into DIR (default: dist/ in the source tree).
#   usage: packaging/release.sh [DIR]
set -euo pipefail

fail() { echo "release.sh: $*" >&2; exit 1; }
# Names the Debian package that brings a missing tool.
need() { command -v "$1" > /dev/null || fail "$1 is missing: apt-get install $2"; }
need git git
need cmake cmake
need g++ g++
need gzip gzip
need tar tar
need sha256sum coreutils
need dpkg-buildflags dpkg-dev
need dpkg-shlibdeps dpkg-dev
need file file
need zip zip
need aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
need arm-linux-gnueabihf-g++ g++-arm-linux-gnueabihf
need x86_64-w64-mingw32-g++-win32 g++-mingw-w64-x86-64-win32
need i686-w64-mingw32-g++-win32 g++-mingw-w64-i686-win32
need em++ emscripten
need esbuild esbuild
need node nodejs

# The artifacts depend on the commit and on the Debian packages installed
# alone: no compiler, flags, toolchain, Debian build option or archiver
# option of the caller's reaches them (zip reads ZIPOPT, -l would rewrite
# line ends; gzip reads GZIP).
for variable in $(compgen -e); do
  case $variable in
    CC | CXX | CFLAGS | CXXFLAGS | CPPFLAGS | LDFLAGS | EMCC_* | EM_* | CMAKE_* | DEB_* | DPKG_* | \
    ZIPOPT | ZIP | GZIP | TAR_OPTIONS) unset "$variable" ;;
  esac
done

top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
dist=$(realpath -m "${1:-$top/dist}")
version=$(git -C "$top" show HEAD:CMakeLists.txt |
          sed -n 's/^project(teklo VERSION \([0-9.]*\).*/\1/p')
[ -n "$version" ] || fail "no version in CMakeLists.txt"

# Every time stamp that reaches an artifact is the last commit's.
export SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct)
export TZ=UTC LC_ALL=C
umask 022

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=teklo-$version
src=$work/$name

# The source archive, and the tree that everything else is built from.
git -C "$top" -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="$name/" HEAD | gzip -n -9 > "$work/$name.tar.gz"
tar -xzf "$work/$name.tar.gz" -C "$work"

# The build folder's path must not leak into the programs.
prefix_map="-ffile-prefix-map=$src=."

# Debian's flags for the architecture $1, as dpkg-buildflags gives them
# with all hardening, but without the configuration files of this machine
# (/etc/dpkg/buildflags.conf) and of this user (~/.config/dpkg), which it
# would read too.
debian_flags() {
  DEB_HOST_ARCH=$1 DEB_BUILD_MAINT_OPTIONS=hardening=+all perl -MDpkg::BuildFlags -e '
    my $flags = Dpkg::BuildFlags->new();
    $flags->load_vendor_defaults();
    print join(" ", map { $flags->get($_) } @ARGV), "\n"' "${@:2}"
}

# The Linux program for a Debian architecture ($1), built in $2 with the
# hardening Debian builds that architecture's packages with; the rest of
# the arguments go to cmake.
debian_package() {
  (
    cd "$src"
    export DEB_HOST_ARCH=$1
    export CXXFLAGS="$(debian_flags "$1" CPPFLAGS CXXFLAGS) $prefix_map"
    export LDFLAGS="$(debian_flags "$1" LDFLAGS)"
    cmake -S . -B "$2" "${@:3}" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF > /dev/null
    cmake --build "$2" -j2 > /dev/null
    cd "$2" && cpack -G DEB > /dev/null
  )
}
debian_package amd64 build-linux
debian_package arm64 build-arm64 --preset linux-arm64
debian_package armhf build-armhf --preset linux-armhf

# The static Linux program for the Debian architecture $1, as the folder
# $name-linux-$2 in a tarball: built with that architecture's hardening
# and the preset $3, with names in sorted order, no owners, and every time
# the commit's.
static_tarball() {
  (
    cd "$src"
    export CXXFLAGS="$(debian_flags "$1" CPPFLAGS CXXFLAGS) $prefix_map"
    export LDFLAGS="$(debian_flags "$1" LDFLAGS)"
    cmake --preset "$3" -B "build-$3" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF > /dev/null
    cmake --build "build-$3" -j2 > /dev/null
    cmake --install "build-$3" --strip --prefix "$work/$name-linux-$2" > /dev/null
  )
  tar -C "$work" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
      --format=gnu -cf - "$name-linux-$2" | gzip -n -9 > "$work/$name-linux-$2.tar.gz"
}
static_tarball amd64 x86_64 linux-static
static_tarball arm64 aarch64 linux-static-arm64
static_tarball armhf armhf linux-static-armhf

# Zips the installed folder $1 (under $work) as $1.zip: names in sorted
# order, every time the commit's, and no owners or other times, which
# the archivers would otherwise take from the file system.
zip_folder() {
  (
    cd "$work"
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    find "$1" -type f | sort | zip -X -9 -q "$1.zip" -@
  )
}

# A Windows program, built with the preset $1 and zipped as $name-$2; the
# linker would stamp it with the time of the build.
windows_zip() {
  (
    cd "$src"
    export CXXFLAGS="$prefix_map" LDFLAGS="-Wl,--no-insert-timestamp"
    cmake --preset "$1" -B "build-$1" -DBUILD_TESTING=OFF > /dev/null
    cmake --build "build-$1" -j2 > /dev/null
    cmake --install "build-$1" --strip --prefix "$work/$name-$2" > /dev/null
  )
  zip_folder "$name-$2"
}
windows_zip windows win64
windows_zip windows32 win32

# The page, as a folder to unzip anywhere.
(
  cd "$src"
  export CXXFLAGS="$prefix_map"
  cmake --preset web -B build-web -DBUILD_TESTING=OFF > /dev/null
  cmake --build build-web -j2 > /dev/null
  cmake --install build-web --prefix "$work/$name-web" > /dev/null
)
zip_folder "$name-web"

mkdir -p "$dist"
artifacts=("teklo_${version}_amd64.deb" "teklo_${version}_arm64.deb" "teklo_${version}_armhf.deb"
           "$name-linux-x86_64.tar.gz" "$name-linux-aarch64.tar.gz" "$name-linux-armhf.tar.gz"
           "$name-win64.zip" "$name-win32.zip" "$name-web.zip" "$name.tar.gz")
cp "$src"/build-{linux,arm64,armhf}/teklo_*.deb "$work/$name"-linux-*.tar.gz "$work/$name-win64.zip" \
   "$work/$name-win32.zip" "$work/$name-web.zip" "$work/$name.tar.gz" "$dist/"
(cd "$dist" && sha256sum "${artifacts[@]}" > SHA256SUMS && cat SHA256SUMS)
