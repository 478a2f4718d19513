#include "platform/DriveType.h"

#include "platform/SysUtils.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {
// The mount table writes blanks, tabs, line breaks and backslashes in mount
// points as a backslash and three octal digits.
std::string Unescape(const std::string& Field)
{
    std::string out;
    out.reserve(Field.size());
    for (size_t i = 0; i < Field.size(); ++i) {
        if (Field[i] == '\\' && i + 3 < Field.size() && Field[i + 1] >= '0' && Field[i + 1] <= '3' &&
            Field[i + 2] >= '0' && Field[i + 2] <= '7' && Field[i + 3] >= '0' && Field[i + 3] <= '7') {
            out += static_cast<char>((Field[i + 1] - '0') * 64 + (Field[i + 2] - '0') * 8 + (Field[i + 3] - '0'));
            i += 3;
        } else {
            out += Field[i];
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& Line)
{
    std::vector<std::string> fields;
    std::istringstream in(Line);
    for (std::string field; in >> field;)
        fields.push_back(field);
    return fields;
}

// "36 35 98:0 /root /mnt rw,noatime shared:1 - ext3 /dev/root rw": the
// optional fields before "-" vary in number.
bool ParseMountLine(const std::string& Line, TMountEntry& Entry)
{
    const std::vector<std::string> f = Fields(Line);
    if (f.size() < 7)
        return false;
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-")
        ++dash;
    if (dash + 2 >= f.size())
        return false;
    unsigned devMajor = 0;
    unsigned devMinor = 0;
    char colon = 0;
    std::istringstream device(f[2]);
    if (!(device >> devMajor >> colon >> devMinor) || colon != ':')
        return false;
    Entry.MountPoint = Unescape(f[4]);
    Entry.FileSystemType = f[dash + 1];
    Entry.Source = Unescape(f[dash + 2]);
    Entry.Major = devMajor;
    Entry.Minor = devMinor;
    return true;
}

bool IsUnder(const std::string& Path, const std::string& MountPoint)
{
    if (MountPoint == "/")
        return !Path.empty() && Path[0] == '/';
    return Path.compare(0, MountPoint.size(), MountPoint) == 0 &&
           (Path.size() == MountPoint.size() || Path[MountPoint.size()] == '/');
}

bool ReadFile(const std::string& FileName, std::string& Text)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        return false;
    Text.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

bool ReadsOne(const std::string& FileName)
{
    std::string text;
    return ReadFile(FileName, text) && Trim(text) == "1";
}

// The path made absolute and free of links, as far as it exists: the
// nearest existing folder decides where the rest would be created.
std::string ExistingRealPath(const std::string& Path)
{
    std::string path = Path;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            return {};
        path = std::string(cwd) + "/" + path;
    }
    for (;;) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            return resolved;
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos || path == "/")
            return "/";
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

// Btrfs and some other file systems show an anonymous device number in the
// table; their source names the block device itself.
void DeviceOf(const TMountEntry& Entry, uint32_t& Major, uint32_t& Minor)
{
    Major = Entry.Major;
    Minor = Entry.Minor;
    struct stat st
    {
    };
    if (Major == 0 && Entry.Source.rfind("/dev/", 0) == 0 && ::stat(Entry.Source.c_str(), &st) == 0 &&
        S_ISBLK(st.st_mode)) {
        Major = major(st.st_rdev);
        Minor = minor(st.st_rdev);
    }
}
} // namespace

bool FindMountEntry(const std::string& MountInfo, const std::string& Path, TMountEntry& Entry)
{
    bool found = false;
    std::istringstream in(MountInfo);
    for (std::string line; std::getline(in, line);) {
        TMountEntry candidate;
        if (!ParseMountLine(line, candidate) || !IsUnder(Path, candidate.MountPoint))
            continue;
        if (!found || candidate.MountPoint.size() >= Entry.MountPoint.size()) {
            Entry = candidate;
            found = true;
        }
    }
    return found;
}

uint32_t DriveTypeOfFileSystem(const std::string& FileSystemType, bool RemovableDevice, bool OpticalDevice)
{
    const std::string type = LowerCase(FileSystemType);
    static const char* const remote[] = {"nfs",       "nfs4",    "cifs",     "smb3",    "smbfs",   "smb2",
                                         "ncpfs",     "ncp",     "afs",      "coda",    "9p",      "ceph",
                                         "glusterfs", "lustre",  "gpfs",     "beegfs",  "orangefs", "pvfs2",
                                         "davfs",     "virtiofs", "vboxsf",  "vmhgfs",  "prl_fs"};
    for (const char* name : remote)
        if (type == name)
            return DRIVE_REMOTE;
    // FUSE mounts name their helper after the dot; the network ones are known by it.
    static const char* const remoteFuse[] = {"fuse.sshfs",   "fuse.rclone",  "fuse.s3fs",     "fuse.davfs2",
                                             "fuse.curlftpfs", "fuse.smbnetfs", "fuse.glusterfs", "fuse.cephfs",
                                             "fuse.gcsfuse",  "fuse.goofys",  "fuse.vmhgfs-fuse"};
    for (const char* name : remoteFuse)
        if (type == name)
            return DRIVE_REMOTE;
    if (type == "iso9660" || type == "udf" || OpticalDevice)
        return DRIVE_CDROM;
    if (RemovableDevice)
        return DRIVE_REMOVABLE;
    if (type == "tmpfs" || type == "ramfs")
        return DRIVE_RAMDISK;
    return DRIVE_FIXED;
}

void BlockDeviceTraits(const std::string& SysRoot, uint32_t Major, uint32_t Minor, bool& Removable, bool& Optical)
{
    Removable = false;
    Optical = false;
    const std::string link = SysRoot + "/dev/block/" + std::to_string(Major) + ":" + std::to_string(Minor);
    char resolved[PATH_MAX];
    if (!::realpath(link.c_str(), resolved))
        return;
    const std::string device = resolved;
    // A partition has no removable flag of its own: its disk is the folder above.
    const std::string disk = device.substr(0, device.find_last_of('/'));
    Removable = ReadsOne(device + "/removable") || ReadsOne(disk + "/removable");
    // SCSI CD-ROM drives are major 11 ("sr0"); the SCSI device type 5 is a CD/DVD drive.
    std::string type;
    Optical = Major == 11 || (ReadFile(device + "/device/type", type) && Trim(type) == "5");
}

uint32_t GetDriveType(const std::string& Path)
{
    std::string table;
    if (!ReadFile("/proc/self/mountinfo", table) || table.empty())
        return DRIVE_UNKNOWN;
    TMountEntry entry;
    if (!FindMountEntry(table, ExistingRealPath(Path), entry))
        return DRIVE_UNKNOWN;
    bool removable = false;
    bool optical = false;
    uint32_t devMajor = 0;
    uint32_t devMinor = 0;
    DeviceOf(entry, devMajor, devMinor);
    if (devMajor != 0)
        BlockDeviceTraits("/sys", devMajor, devMinor, removable, optical);
    return DriveTypeOfFileSystem(entry.FileSystemType, removable, optical);
}
