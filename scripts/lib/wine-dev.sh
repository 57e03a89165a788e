# Sourced by scripts/wine-run and scripts/lib/wine-guard: the private /dev that Wine may
# see, how the runner makes it and how the guard knows it. Wine opens /dev/ttyS(n-1) for
# COMn when no mapping exists, and /dev/ttyS0 is the machine's console.

# The device nodes of the private /dev, with their numbers: name major minor.
QV_WINE_DEV_NODES=("null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9")
# Written into the private /dev right after it is mounted: the mount namespace that made it.
QV_WINE_DEV_MARKER=/dev/.qv-wine-run

# Covers /dev with a fresh tmpfs holding only the nodes above, a private devpts instance
# and a /dev/shm, marked as made in this mount namespace. Only for the runner's inside
# half, after it has proved that it runs in the namespace its outer half made for it.
qv_wine_make_dev() {
    local node name major minor
    mount -t tmpfs -o mode=0755,nosuid tmpfs /dev
    readlink /proc/self/ns/mnt >"$QV_WINE_DEV_MARKER"
    for node in "${QV_WINE_DEV_NODES[@]}"; do
        read -r name major minor <<<"$node"
        mknod -m 666 "/dev/$name" c "$major" "$minor"
    done
    mkdir /dev/pts /dev/shm
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts
    ln -s pts/ptmx /dev/ptmx
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /dev/shm
    ln -s /proc/self/fd /dev/fd
    ln -s /proc/self/fd/0 /dev/stdin
    ln -s /proc/self/fd/1 /dev/stdout
    ln -s /proc/self/fd/2 /dev/stderr
}

# Succeeds when /dev is the one qv_wine_make_dev made in this mount namespace and holds
# nothing but its nodes and the pseudo-terminals of its devpts instance; otherwise prints
# the reason on one line and fails.
qv_wine_dev_check() {
    local type nodes kind major minor path node expected="" found="" unexpected=""
    type=$(awk '$5 == "/dev" { for (i = 7; $i != "-"; i++); t = $(i + 1) } END { print t }' \
        /proc/self/mountinfo)
    [ "$type" = tmpfs ] || { echo "/dev is ${type:-not a mount}, not the runner's private tmpfs"; return 1; }
    { [ "$(<"$QV_WINE_DEV_MARKER")" = "$(readlink /proc/self/ns/mnt)" ]; } 2>/dev/null ||
        { echo "/dev was not made by scripts/wine-run in this mount namespace"; return 1; }
    # One pass: serial and console names, and every device node with its numbers. Listing
    # errors refuse too: an unreadable corner of /dev is not a clean one.
    # A devpts instance holds only pseudo-terminals and ptmx (nothing else can be made in
    # it), and its entries come and go while other processes open and close them: it is
    # left out, or a terminal closed between the listing and its stat would refuse Wine.
    local prune=(-false)
    awk '$5 == "/dev/pts" { for (i = 7; $i != "-"; i++); if ($(i + 1) == "devpts") found = 1 }
        END { exit !found }' /proc/self/mountinfo && prune=(-path /dev/pts)
    nodes=$(find /dev \( "${prune[@]}" -prune \) -o \( \( -name 'ttyS*' -o -name 'ttyUSB*' \
        -o -name 'ttyACM*' -o -name 'ttyAMA*' -o -name 'rfcomm*' -o -name 'console' \
        -o -name 'tty[0-9]*' \) -printf 'name 0 0 %p\n' , \
        -type c -exec stat -c 'c %Hr %Lr %n' {} + , -type b -exec stat -c 'b %Hr %Lr %n' {} + \)) ||
        { echo "/dev cannot be listed"; return 1; }
    for node in "${QV_WINE_DEV_NODES[@]}"; do
        read -r path major minor <<<"$node"
        expected+="|c $major $minor /dev/$path|"
    done
    while read -r kind major minor path; do
        case "$kind|$expected" in
        name*) found+=" $path" ;;
        "|"* | *"|$kind $major $minor $path|"*) ;;
        *) case "$kind $path" in "c /dev/pts/ptmx" | "c /dev/pts/"[0-9]*) ;; *) unexpected=$path ;; esac ;;
        esac
    done <<<"$nodes"
    [ -z "$found" ] || { echo "serial or console devices visible:$found"; return 1; }
    [ -z "$unexpected" ] || { echo "unexpected device $unexpected"; return 1; }
}
