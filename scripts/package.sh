#!/usr/bin/env bash
# Builds the Debian package mxrview_<version>_amd64.deb (CPack, dependencies from
# dpkg-shlibdeps) into $MXR_PACKAGE_OUT, else build-package/. Then check it with
#   MXR_PACKAGE_TEST_DEB=build-package/mxrview_*.deb ctest --test-dir build -L package
# Installs what only the package needs (dpkg-dev, desktop-file-utils, appstream) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${MXR_PACKAGE_BUILD_DIR:-build-package}
OUT=${MXR_PACKAGE_OUT:-build-package}

MXR_WITH_FUZZ=0 ./scripts/deps.sh
missing=()
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
command -v appstreamcli >/dev/null || missing+=(appstream)
command -v fakeroot >/dev/null || missing+=(fakeroot)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Debian's usual hardening: fortified libc calls, stack protector, read-only relocations.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMXR_PACKAGE=ON \
  -DMXR_BUILD_TESTS=OFF -DMXR_BUILD_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
(cd "$BUILD" && cpack -G DEB >/dev/null)
mkdir -p "$OUT"
version=$(sed -n 's/^project(MXRView VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$BUILD/mxrview_${version}_amd64.deb"
[ -f "$deb" ] || { echo "package.sh: $deb was not made" >&2; exit 1; }
[ "$(realpath "$OUT")" = "$(realpath "$BUILD")" ] || cp "$deb" "$OUT/"
final=$(realpath "$OUT/$(basename "$deb")")
if command -v lintian >/dev/null; then
  lintian --fail-on error "$final" >&2 || exit 1
fi
# The last line of standard output is the package's full path (test.sh reads it).
echo "$final"
