#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks what lands there:
# exactly the expected files (a missing page or a stray test program fails),
# a clean desktop entry and AppStream file, man pages that render without a
# warning, and programs that start and know their version.
#
#   scripts/check_install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
[ -f "$build/CMakeCache.txt" ] || { echo "check_install: $build is no configured build" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
export LC_ALL=C.UTF-8
failed=0
fail() {
    echo "check_install: $*" >&2
    failed=1
}
# Runs a checker that must succeed; quiet: one that must say nothing either
# (its warnings do not change its exit status).
passes() {
    local out
    if ! out=$("$@" 2>&1); then
        fail "$* reports:"
        printf '%s\n' "$out" >&2
    fi
}
quiet() {
    local out
    if ! out=$("$@" 2>&1) || [ -n "$out" ]; then
        fail "$* reports:"
        printf '%s\n' "$out" >&2
    fi
}

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
    { cat "$tmp/install.log" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
appid=io.github.pg5400.panel

expected="bin/pg5400
bin/pg5400-sim
share/applications/pg5400.desktop
share/icons/hicolor/128x128/apps/pg5400.png
share/icons/hicolor/256x256/apps/pg5400.png
share/icons/hicolor/48x48/apps/pg5400.png
share/icons/hicolor/64x64/apps/pg5400.png
share/icons/hicolor/scalable/apps/pg5400.svg
share/man/man1/pg5400-sim.1.gz
share/man/man1/pg5400.1.gz
share/metainfo/$appid.metainfo.xml"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort)
if [ "$actual" != "$(sort <<<"$expected")" ]; then
    fail "installed files differ from the expected list (- expected, + installed):"
    diff <(sort <<<"$expected") <(echo "$actual") | grep '^[<>]' | sed 's/^</-/; s/^>/+/' >&2 || true
fi

# Each fixed-size icon must be drawn at the size its folder names (the PNG
# header holds width and height as 32-bit big-endian numbers from byte 16).
for png in "$prefix"/share/icons/hicolor/*x*/apps/pg5400.png; do
    [ -f "$png" ] || continue
    size=$(basename "$(dirname "$(dirname "$png")")")
    drawn=$(od -An -tu1 -j16 -N8 "$png" |
        awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }')
    [ "$drawn" = "$size" ] || fail "$png is drawn at ${drawn:-no size}, not $size"
done

desktop=$prefix/share/applications/pg5400.desktop
if [ -f "$desktop" ]; then
    quiet desktop-file-validate "$desktop"
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$prefix/bin/$exec_program" ] || fail "the desktop entry starts \"$exec_program\", which is not installed"
fi

metainfo=$prefix/share/metainfo/$appid.metainfo.xml
if [ -f "$metainfo" ]; then
    # --strict: a warning or an info note fails too, not only an error.
    passes appstreamcli validate --strict --no-net "$metainfo"
    # The tree check also finds the desktop entry the metadata launches.
    passes appstreamcli validate-tree --strict --no-net "$prefix"
    newest=$(grep -o '<release [^>]*version="[^"]*"' "$metainfo" | head -n 1 | sed 's/.*version="//; s/"$//')
    [ "$newest" = "$version" ] || fail "the newest release in $appid.metainfo.xml is \"$newest\", the project is $version"
fi

# Both print only warnings; the page itself goes nowhere.
man_render() { MANWIDTH=80 man --warnings=w -l "$1" >/dev/null; }
groff_render() { zcat "$1" | groff -man -ww -z; }
for page in "$prefix"/share/man/man1/*.1.gz; do
    [ -f "$page" ] || continue
    quiet man_render "$page"
    quiet groff_render "$page"
    # The NAME line must parse, and name the page's own program.
    name=$(basename "$page" .1.gz)
    parsed=$(lexgrog "$page" 2>&1) || true
    [[ $parsed == *": \"$name - "* ]] || fail "lexgrog does not find \"$name - ...\" in $page: $parsed"
done

if [ -x "$prefix/bin/pg5400" ]; then
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/pg5400" --version 2>&1) || true
    [ "$out" = "pg5400 $version" ] || fail "pg5400 --version prints \"$out\", not \"pg5400 $version\""
fi
if [ -x "$prefix/bin/pg5400-sim" ]; then
    out=$("$prefix/bin/pg5400-sim" --help 2>&1) || true
    [[ $out == *--model* ]] || fail "pg5400-sim --help does not list its options: $out"
fi

[ "$failed" = 0 ] || exit 1
echo "Install check passed: $(wc -l <<<"$actual") files under a temporary prefix."
