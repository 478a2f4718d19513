#pragma once
// Helpers of the resource cache and file-system tests: a file's last-write
// time set to a time stamp of the file systems (100-ns ticks since 1601),
// a listing collected into a map, and the connection "MAIN" signed in to
// the local application server as its seeded system manager.

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraFileSystem.h"

#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>

inline void SetFileTimeStamp(const std::string& Path, int64_t TimeStamp)
{
    const timespec written{static_cast<time_t>(TimeStamp / 10000000 - 11644473600LL),
                           static_cast<long>(TimeStamp % 10000000 * 100)};
    const timespec times[2] = {written, written};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path.c_str(), times, 0), 0) << Path;
}

struct TListedFile
{
    std::string Description;
    int32_t Attributes = 0;
    int64_t Size = 0;
    int64_t TimeStamp = 0;
};

struct TListing
{
    std::map<std::string, TListedFile> Files; // the ones the callback was given
    int Count = 0;
    int64_t MaxTimeStamp = -1;
};

// FindFiles with a callback that checks its sender and collects what it gets.
inline TListing ListFiles(TNembraFileSystem& FileSystem, const std::string& Mask, int64_t MinTimeStamp = 0,
                          int32_t Attributes = 0,
                          TFindFileOutputs Output = {ffoDescription, ffoAttr, ffoSize, ffoTime})
{
    TListing listing;
    int marker = 0;
    listing.Count = FileSystem.FindFiles(
        Mask, MinTimeStamp, listing.MaxTimeStamp, Attributes, Output,
        [&](TObject* Sender, const std::string& Name, const std::string& Description, int32_t Attr, int64_t Size,
            int64_t TimeStamp, void* Data) {
            EXPECT_EQ(Sender, &FileSystem);
            EXPECT_EQ(Data, &marker);
            listing.Files[Name] = {Description, Attr, Size, TimeStamp};
        },
        &marker);
    return listing;
}

// Names Connection "MAIN" and signs it in to the local application server
// at ServerURL as ADMIN (seeded with an empty password); OnLogin, when
// given, reads the sign-in reply.
inline void SignInAsAdmin(TNembraConnection& Connection, const std::string& ServerURL,
                          TNotifyEvent OnLogin = nullptr)
{
    Connection.SetConnectionName("MAIN");
    Connection.SetServerURL(ServerURL);
    Connection.SetAuthentication(qauthBasic);
    Connection.Params().Add("USER_ID=ADMIN");
    Connection.Params().Add("USER_PWD=");
    Connection.GenerateRandomSecretKey();
    Connection.OnLogin = std::move(OnLogin);
    Connection.Open();
}
