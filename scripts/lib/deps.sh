# Sourced by the scripts: installs the Debian packages the build, tests and tools need
# when any is missing (apt-get; sudo when not root).
QV_DEB_PACKAGES=(cmake g++ make pkg-config qt6-base-dev qt6-svg-dev libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev)

qv_install_deps() {
    local missing=() p
    for p in "${QV_DEB_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
