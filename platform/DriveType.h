#pragma once
// The kind of drive a path lies on, with the answers of the Windows call the
// system was designed against. Here it comes from the file system that holds
// the path (/proc/self/mountinfo) and from its block device (/sys/dev/block):
//
// - network file systems (NFS, SMB/CIFS, AFS, 9P, Ceph, sshfs and other
//   FUSE network mounts, ...) are DRIVE_REMOTE;
// - ISO 9660 and UDF file systems, and any on an optical drive, DRIVE_CDROM;
// - a file system on a device the kernel marks removable, DRIVE_REMOVABLE;
// - tmpfs and ramfs, DRIVE_RAMDISK;
// - everything else DRIVE_FIXED.
//
// A path that does not exist yet is judged by its nearest existing folder,
// so a folder the user is about to create is placed where it would go.

#include <cstdint>
#include <string>

enum : uint32_t
{
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6
};

// One line of a mountinfo table.
struct TMountEntry
{
    std::string MountPoint;     // with the table's octal escapes undone
    std::string FileSystemType; // "ext4", "nfs4", "fuse.sshfs", ...
    std::string Source;         // "/dev/sdb1", "server:/export", ...
    uint32_t Major = 0;
    uint32_t Minor = 0;
};

// The mount that holds the absolute, link-free Path in a mountinfo text: the
// longest mount point that is Path or one of its parents, the later line
// winning among equals (it is mounted over the earlier). False when none.
bool FindMountEntry(const std::string& MountInfo, const std::string& Path, TMountEntry& Entry);

// The drive kind of a file system type on a device with the given traits.
uint32_t DriveTypeOfFileSystem(const std::string& FileSystemType, bool RemovableDevice, bool OpticalDevice);

// Whether block device Major:Minor (or the disk a partition of it belongs
// to) is removable or an optical drive, read below SysRoot ("/sys").
void BlockDeviceTraits(const std::string& SysRoot, uint32_t Major, uint32_t Minor, bool& Removable,
                       bool& Optical);

// The drive kind of Path (relative paths start at the current folder);
// DRIVE_UNKNOWN when the mount table cannot be read.
uint32_t GetDriveType(const std::string& Path);
