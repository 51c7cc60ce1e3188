# Installs the Debian packages pg5400 needs to build, test and run (sourced by
# test.sh and run.sh). Only missing packages are installed, as root or via sudo.
PG_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-svg-dev libjpeg-dev
    libx11-dev xvfb xauth fonts-dejavu-core fonts-liberation2 libgl-dev
    desktop-file-utils appstream man-db groff-base python3-pyvisa-py ser2net
    weston qt6-wayland mold)

pg_install_deps() {
    local missing=() p
    for p in "${PG_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
