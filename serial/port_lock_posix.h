#pragma once

// Lock files of serial devices: the signal that serial programs give each other on
// POSIX besides the device's own locks. Some programs take nothing else (minicom locks
// no device), so a port is busy while its lock file names a live process, and the
// channel keeps a lock file of its own while it holds a port.
//
// Where: one file per device, "LCK..<name>" in the system's lock folder (/run/lock, or
// /var/lock where that is the folder). <name> is the device's real path, all links
// followed, without its "/dev/" and with every "/" made "_": /dev/pts/3 gives
// LCK..pts_3, /dev/ttyUSB0 gives LCK..ttyUSB0.
//
// Reading one: the first line names the holder's process id in decimal, leading blanks
// allowed, followed by the end of the line or a blank ("     21456" from minicom, "4711"
// from Qt's programs and this one). The lock holds the port while that process lives.
// A lock file whose holder keeps an flock on it holds the port whatever it names (its
// holder lives, maybe with another view of process ids). A lock whose first line has no
// end yet and that was written less than a few seconds ago holds the port too: its
// program may still be writing it. A lock in this program's own format (below, its
// second line naming this program) whose flock is free is stale whatever process now has
// its id: every copy holds its lock's flock. A lock naming a dead process is stale: the
// next program that takes the lock removes it, after taking its flock. (A program that
// takes no flock, such as minicom, may put a fresh lock in its place just before it goes;
// the convention has that gap, minicom's own takeover too.) A lock that cannot be read or
// names no process holds nothing, and is left where it is.
//
// The lock file this program writes, in the format of Qt's lock files, one item a line,
// each line ended by "\n":
//     process id, in decimal
//     the file name of the program's executable (what /proc/<pid>/exe names)
//     the host name
//     the machine id as D-Bus keeps it (/var/lib/dbus/machine-id, else
//         /usr/local/var/lib/dbus/machine-id), or an empty line
//     the boot id (/proc/sys/kernel/random/boot_id), or an empty line
// with mode 0644 whatever the umask, so that every user's programs can read it, and an
// exclusive flock held on it for as long as it exists. It is written whole and flocked
// under a hidden name of its own in the lock folder and then given its name with link(),
// which fails where a lock is already there: nobody ever finds it half written or its
// flock free. It goes when the port is closed, if it is still this one.
//
// Checked against, on pseudo-terminals, as root and as an ordinary user (Debian 12):
// - minicom 2.8 writes "%10d\n" and takes no other lock, neither on the device nor on
//   the file. It refuses the port ("Device ... is locked.") while the first line's
//   process lives, takes over a stale lock itself, and counts a garbled or empty lock as
//   held. It refuses the port while this program holds it.
// - Qt 6.4 (QSerialPort over QLockFile) writes the format above, keeps its flock and sets
//   the exclusive terminal flag. It refuses the port while the process lives and its
//   executable has the name on the second line; otherwise, or once the file is 30 s old,
//   it takes the lock for stale, but never removes one whose flock is held. It refuses
//   the port while this program holds it ("Permission error while locking the device").
// - picocom 3.1 and tio 2.5 take an flock on the device and no lock file; the device's
//   locks keep them and this program apart.
//
// No Qt. Thread contract: none; the serial platform calls it on the user-interface
// thread only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The system's lock folder: /run/lock where that is a folder, else /var/lock.
std::filesystem::path systemLockFolder();

// "LCK..<name>" for a device's real path, by the rule above.
std::string lockFileName(std::string_view devicePath);

// The lock file of the device whose real path (all links followed) is `realDevice`, in
// `lockFolder`; nullopt when the folder is empty (no lock files) or the device path is
// (it leads to no existing file).
std::optional<std::filesystem::path> lockFileFor(const std::filesystem::path& lockFolder,
                                                 const std::string& realDevice);

enum class LockHolder {
    None,    // no lock file
    Live,    // a live process holds it: the port is busy
    Dead,    // it names a process that has ended: stale
    Unknown, // it cannot be read or names no process: holds nothing
};

// What the lock file at `file` says, by the reading rules above.
LockHolder lockHolder(const std::filesystem::path& file);

// What this process writes into its lock files, by the format above.
std::string ownLockContents();

// A lock file this process has made and holds, removed when the object goes.
class PortLockFile {
public:
    PortLockFile() = default;
    PortLockFile(PortLockFile&& other) noexcept;
    PortLockFile& operator=(PortLockFile&& other) noexcept;
    PortLockFile(const PortLockFile&) = delete;
    PortLockFile& operator=(const PortLockFile&) = delete;
    ~PortLockFile() { release(); }

    // Takes the lock file `file` for this process, removing a stale one in the way. Made
    // for an object that holds nothing yet.
    // False when a live process holds it, or when other programs kept taking and removing
    // it. True otherwise, holding the file when it could be made: a folder that is
    // missing, not writable or without hard links, a lock that cannot be read or a stale
    // one that this process may not remove leave this object holding nothing.
    bool take(const std::filesystem::path& file);
    bool held() const { return descriptor_ >= 0; }
    // The file held, or an empty path.
    std::filesystem::path file() const { return held() ? file_ : std::filesystem::path{}; }
    // Removes the file, if it is still the one this object made, and lets go of it.
    void release();

private:
    std::filesystem::path file_;
    int descriptor_ = -1;
};

} // namespace qv
