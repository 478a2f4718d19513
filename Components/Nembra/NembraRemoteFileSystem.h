#pragma once
// The remote file system (unit NembraRemoteFileSystem): a store on the
// application server reached through the "VRS.*" procedures.
//
// Address: "vrs+" (without regard to case), an optional scheme ending in
// "://", an optional user part ending in "@" (user name, optionally ":" and
// password), then a server address or the name of a registered connection,
// and an optional "?" followed by the share name:
// - "vrs+MAIN?resources": the registered connection "MAIN", share
//   "resources", no user;
// - "vrs+http://user:pw@host/bin/orvane.dll?share": a connection of the
//   file system's own to "http://host/bin/orvane.dll" without sign-in; the
//   user name and password travel with every call.
//
// Every operation makes the connection active, then sends one synchronous
// call with "Share" (and "User" and "Password" when set) and its own
// parameters. Errors are those of the remote call; a reply carrying the
// server's error object raises that error (also for GetFile, where a reply
// that is not the file would otherwise read as "unchanged"), except the
// store's answer that GetFile's file does not exist ("File not found: ..."),
// which gives nothing, as any reply that is not the file does.
//
// Threads: calls may come from any thread; the connection's activation is
// guarded by the file system's own lock. A registered connection is looked
// up by name for each call, so a connection that went away is never
// reached through a stale reference.

#include "Components/Nembra/NembraFileSystem.h"

#include <memory>
#include <mutex>
#include <string>

class TNembraConnection;
class TNembraRequest;

class TNembraRemoteFileSystem : public TNembraFileSystem
{
  public:
    // An address naming no registered connection raises "Connection not
    // found: %s".
    explicit TNembraRemoteFileSystem(const std::string& URI);
    // Frees the own connection only.
    ~TNembraRemoteFileSystem() override;
    std::string ClassName() const override { return "TNembraRemoteFileSystem"; }

    // Addresses beginning with "vrs+" (without regard to case).
    static bool Accept(const std::string& URI);
    static const TNembraFileSystemClass& Class();

    const std::string& Share() const { return m_share; }
    const std::string& UserName() const { return m_userName; }
    const std::string& Password() const { return m_password; }
    // The registered connection's name ('' with a connection of its own).
    const std::string& ConnectionName() const { return m_connectionName; }
    // The own connection (null when a registered one is used).
    TNembraConnection* OwnConnection() const { return m_ownConnection.get(); }
    // The connection the calls go through.
    TNembraConnection& Connection();

    int FindFiles(const std::string& Mask, int64_t MinTimeStamp, int64_t& MaxTimeStamp, int32_t FileAttributes,
                  TFindFileOutputs OutputInfo, const TFindFileCallback& Callback, void* Data) override;
    using TNembraFileSystem::FindFiles;
    std::unique_ptr<TStream> GetFile(const std::string& FileName, int64_t& TimeStamp) override;
    using TNembraFileSystem::GetFile;
    void PutFile(const std::string& FileName, const std::string& Description, int64_t TimeStamp,
                 TStream& Stream) override;
    void Delete(const std::string& FileName) override;
    void CopyFile(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) override;
    void Rename(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) override;
    void Extract(const std::string& ZipFileName, const std::string& DestPath, const std::string& ExtractFileMask,
                 const std::string& ExcludeFileMask) override;
    void CreateDirectory(const std::string& Path) override;

  private:
    // A call of Procedure on the active connection with the common parameters.
    std::unique_ptr<TNembraRequest> NewCall(const std::string& Procedure);
    // Runs the call; a JSON reply is checked for the server's error.
    void Run(TNembraRequest& Request);
    void CopyOrMove(const std::string& Procedure, const std::string& FileName, const std::string& NewFileName,
                    bool AllowOverwrite);

    std::string m_share;
    std::string m_userName;
    std::string m_password;
    std::string m_connectionName;
    std::unique_ptr<TNembraConnection> m_ownConnection;
    std::mutex m_activationLock;
};
