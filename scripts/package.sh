#!/usr/bin/env bash
# Builds the Debian package pg5400_<version>_<arch>.deb: a Release build of
# the two installed programs in build-package/ with Debian's compiler and
# hardening flags, packed by CPack and checked with lintian. Fails when
# lintian reports an error; its warnings and notes are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
source ./scripts/deps.sh
# dpkg-shlibdeps (dpkg-dev) and file work out the library dependencies.
PG_PACKAGES+=(dpkg-dev file lintian)
pg_install_deps

dir=build-package
# The package's files and folders take their modes from the staging tree.
umask 022
jobs=$(nproc 2>/dev/null || echo 2)

# The date of the last commit dates the package's changelog, so the same
# sources give the same package.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

# What Debian builds its own packages with: optimisation, stack protector,
# fortified libc calls, a read-only GOT after start-up.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPG_SANITIZE=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
cmake --build "$dir" -j "$jobs" --target pg5400 pg5400-sim

rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB)
debs=("$dir"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "package.sh: expected one .deb in $dir" >&2
    exit 1
fi
deb=$(realpath "${debs[0]}")

echo
dpkg-deb --field "$deb" Package Version Architecture Installed-Size Depends
echo
echo "lintian:"
status=0
report=$(lintian --display-info --pedantic --fail-on error "$deb" 2>&1) || status=$?
grep -v '^running with root privileges' <<<"$report" || echo "(nothing to report)"
echo
echo "Package: $deb"
if [ "$status" != 0 ]; then
    echo "package.sh: lintian reports errors (E:) above" >&2
    exit 1
fi
