# Sourced by the scripts: installs the Debian packages the build, tests and tools need
# when any is missing (apt-get; sudo when not root), and creates the locales the suite
# runs under.
QV_DEB_PACKAGES=(cmake g++ make pkg-config qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev locales libmosquitto-dev mosquitto
  mosquitto-clients)

# Runs its arguments as root: directly when root, else through sudo.
qv_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

qv_install_deps() {
    local missing=() p
    for p in "${QV_DEB_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    qv_as_root apt-get update -qq
    qv_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The decimal-comma locale de_DE.UTF-8 (package locales), made when missing: the suite
# checks that the log's numbers keep their point whatever the user's locale.
qv_ensure_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\{0,1\}8' && return 0
    echo "Creating the locale de_DE.UTF-8"
    qv_as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
}
