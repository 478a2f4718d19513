#include "platform/DriveType.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(DriveType, FromTheFileSystemType)
{
    struct Case
    {
        const char* type;
        bool removable;
        bool optical;
        uint32_t expected;
    };
    const Case cases[] = {
        {"ext4", false, false, DRIVE_FIXED},
        {"btrfs", false, false, DRIVE_FIXED},
        {"overlay", false, false, DRIVE_FIXED},
        {"nfs", false, false, DRIVE_REMOTE},
        {"nfs4", false, false, DRIVE_REMOTE},
        {"cifs", false, false, DRIVE_REMOTE},
        {"smb3", false, false, DRIVE_REMOTE},
        {"9p", false, false, DRIVE_REMOTE},
        {"ceph", false, false, DRIVE_REMOTE},
        {"fuse.sshfs", false, false, DRIVE_REMOTE},
        {"fuse.rclone", false, false, DRIVE_REMOTE},
        {"fuse.ntfs-3g", false, false, DRIVE_FIXED},
        {"fuse.ntfs-3g", true, false, DRIVE_REMOVABLE},
        {"iso9660", false, false, DRIVE_CDROM},
        {"UDF", false, false, DRIVE_CDROM},
        {"ext4", false, true, DRIVE_CDROM},
        {"vfat", true, false, DRIVE_REMOVABLE},
        {"exfat", true, false, DRIVE_REMOVABLE},
        {"vfat", false, false, DRIVE_FIXED},
        {"tmpfs", false, false, DRIVE_RAMDISK},
        {"ramfs", false, false, DRIVE_RAMDISK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + (c.removable ? " removable" : "") + (c.optical ? " optical" : ""));
        EXPECT_EQ(DriveTypeOfFileSystem(c.type, c.removable, c.optical), c.expected);
    }
}

TEST(DriveType, FindsTheMountHoldingAPath)
{
    const std::string table = "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
                              "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                              "40 28 8:17 / /media/usb rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw\n"
                              "41 28 0:50 / /mnt/My\\040Share rw - cifs //server/share rw\n"
                              "42 28 0:51 / /srv/data rw - ext4 /dev/sdc1 rw\n"
                              "43 42 0:52 / /srv/data rw - nfs4 server:/data rw\n"
                              "garbage line\n"
                              "44 28 xx / /broken rw - ext4 /dev/x rw\n"
                              "45 28 0:53 / /short rw ext4\n";
    struct Case
    {
        const char* path;
        const char* mountPoint;
        const char* type;
    };
    const Case cases[] = {
        {"/", "/", "ext4"},
        {"/home/anna/cache", "/", "ext4"},
        {"/media/usb", "/media/usb", "vfat"},
        {"/media/usb/cache", "/media/usb", "vfat"},
        {"/media/usbx/cache", "/", "ext4"},
        {"/mnt/My Share/cache", "/mnt/My Share", "cifs"},
        {"/srv/data/cache", "/srv/data", "nfs4"},
        {"/proc/self", "/proc", "proc"},
        {"/broken/x", "/", "ext4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TMountEntry entry;
        ASSERT_TRUE(FindMountEntry(table, c.path, entry));
        EXPECT_EQ(entry.MountPoint, c.mountPoint);
        EXPECT_EQ(entry.FileSystemType, c.type);
    }
    TMountEntry usb;
    ASSERT_TRUE(FindMountEntry(table, "/media/usb/x", usb));
    EXPECT_EQ(usb.Major, 8u);
    EXPECT_EQ(usb.Minor, 17u);
    EXPECT_EQ(usb.Source, "/dev/sdb1");

    TMountEntry none;
    EXPECT_FALSE(FindMountEntry("", "/x", none));
    EXPECT_FALSE(FindMountEntry("28 1 254:0 / /data rw - ext4 /dev/vda rw\n", "/home", none));
}

// A small copy of the block device tree: a removable stick with one
// partition, a fixed disk, an optical drive and a drive that only says by
// its SCSI type that it reads discs.
TEST(DriveType, BlockDeviceTraitsFromSys)
{
    TTempFolder sys;
    namespace fs = std::filesystem;
    const fs::path root = sys.Path();
    const auto device = [&](const std::string& path, const char* removable) {
        fs::create_directories(root / path);
        if (removable)
            WriteText((root / path / "removable").string(), removable);
    };
    device("devices/usb1/block/sdb", "1\n");
    device("devices/usb1/block/sdb/sdb1", nullptr);
    device("devices/ata1/block/sda", "0\n");
    device("devices/ata1/block/sda/sda1", nullptr);
    device("devices/ata2/block/sr0", "1\n");
    device("devices/ata3/block/sdd", "0\n");
    fs::create_directories(root / "devices/ata3/block/sdd/device");
    WriteText((root / "devices/ata3/block/sdd/device/type").string(), "5\n");
    fs::create_directories(root / "dev/block");
    fs::create_directory_symlink("../../devices/usb1/block/sdb/sdb1", root / "dev/block/8:17");
    fs::create_directory_symlink("../../devices/usb1/block/sdb", root / "dev/block/8:16");
    fs::create_directory_symlink("../../devices/ata1/block/sda/sda1", root / "dev/block/8:1");
    fs::create_directory_symlink("../../devices/ata2/block/sr0", root / "dev/block/11:0");
    fs::create_directory_symlink("../../devices/ata3/block/sdd", root / "dev/block/8:48");

    struct Case
    {
        const char* desc;
        uint32_t major;
        uint32_t minor;
        bool removable;
        bool optical;
    };
    const Case cases[] = {
        {"partition of a removable stick", 8, 17, true, false},
        {"the stick itself", 8, 16, true, false},
        {"partition of a fixed disk", 8, 1, false, false},
        {"optical drive by its major number", 11, 0, true, true},
        {"optical drive by its SCSI type", 8, 48, false, true},
        {"unknown device", 8, 99, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        bool removable = !c.removable;
        bool optical = !c.optical;
        BlockDeviceTraits(sys.Path(), c.major, c.minor, removable, optical);
        EXPECT_EQ(removable, c.removable);
        EXPECT_EQ(optical, c.optical);
    }
}

TEST(DriveType, OfPathsOnThisMachine)
{
    TMountEntry shm;
    std::string table = ReadText("/proc/self/mountinfo");
    ASSERT_FALSE(table.empty());
    if (FindMountEntry(table, "/dev/shm", shm) && shm.MountPoint == "/dev/shm" && shm.FileSystemType == "tmpfs") {
        EXPECT_EQ(GetDriveType("/dev/shm"), static_cast<uint32_t>(DRIVE_RAMDISK));
        EXPECT_EQ(GetDriveType("/dev/shm/not/made/yet"), static_cast<uint32_t>(DRIVE_RAMDISK))
            << "a folder still to be made is judged where it would go";
    }
    TTempFolder dir;
    const uint32_t here = GetDriveType(dir.Path());
    EXPECT_NE(here, static_cast<uint32_t>(DRIVE_UNKNOWN));
    EXPECT_EQ(GetDriveType(dir / "cache/deeper"), here);
    EXPECT_NE(GetDriveType("relative/cache"), static_cast<uint32_t>(DRIVE_UNKNOWN));
}
