#pragma once
// The local file system (unit NembraLocalFileSystem): a folder on this
// machine, named "file://" + folder (the prefix without regard to case) or
// by the folder path alone.
//
// Descriptions: each folder may hold a settings file ".description" with the
// section "descriptions": key = a file's name, value = its description in
// the server client's URL encoding (HTTPEncode). Names beginning with "."
// are never listed. The description files are guarded by the file system's
// own lock; the rest of its work needs none.
//
// Failures are raised with the texts below after a log line (source
// "TNembraLocalFileSystem") naming the full path; deleting a missing file is
// only logged.

#include "Components/Nembra/NembraFileSystem.h"

#include "platform/SyncObjs.h"

#include <memory>
#include <string>

class TIniFile;

extern const char* const SInvalidPath;             // "Invalid path or path not specified"
extern const char* const SFileNameNotSpecified;    // "File name not specified"
extern const char* const SFileNotFound;            // "File not found: \"%s"
extern const char* const SDirectoryNotFound;       // "Directory not found: \"%s"
extern const char* const SFileAlreadyExists;       // "File already exists: \"%s\""
extern const char* const SUnableToDeleteUnempty;   // "Unabled to delete unemtpy directory: \"%s\""
extern const char* const SUnableToDeleteDirectory; // "Unable to delete directory: \"%s\". File system error: %d"
extern const char* const SUnableToDeleteFile;      // "Unable to delete file: \"%s\". File system error: %d"
extern const char* const SUnableToCopyFile;        // "Unable to copy file: \"%s\" to \"%s\". File system error: %d"
extern const char* const SUnableToMoveFile;        // "Unable to move file: \"%s\" to \"%s\". File system error: %d"

class TNembraLocalFileSystem : public TNembraFileSystem
{
  public:
    // A blank URI raises SInvalidPath.
    explicit TNembraLocalFileSystem(const std::string& URI);
    ~TNembraLocalFileSystem() override;
    std::string ClassName() const override { return "TNembraLocalFileSystem"; }

    // Addresses beginning with "file://" (without regard to case).
    static bool Accept(const std::string& URI);
    static const TNembraFileSystemClass& Class();

    // The folder, with a trailing delimiter.
    const std::string& Root() const { return m_root; }
    const std::string& DescriptionFileName() const { return m_descriptionFileName; }
    void SetDescriptionFileName(const std::string& Value);

    int FindFiles(const std::string& Mask, int64_t MinTimeStamp, int64_t& MaxTimeStamp, int32_t FileAttributes,
                  TFindFileOutputs OutputInfo, const TFindFileCallback& Callback, void* Data) override;
    using TNembraFileSystem::FindFiles;
    std::unique_ptr<TStream> GetFile(const std::string& FileName, int64_t& TimeStamp) override;
    using TNembraFileSystem::GetFile;
    // Written through a file beside the old one and renamed over it: a
    // failure leaves the old file whole.
    void PutFile(const std::string& FileName, const std::string& Description, int64_t TimeStamp,
                 TStream& Stream) override;
    void Delete(const std::string& FileName) override;
    void CopyFile(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) override;
    void Rename(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) override;
    // Through the zip unit the controller installs (SetNembraExtractZipProc).
    void Extract(const std::string& ZipFileName, const std::string& DestPath, const std::string& ExtractFileMask,
                 const std::string& ExcludeFileMask) override;
    void CreateDirectory(const std::string& Path) override;

    // The description of a file ('' when its folder has no description file).
    std::string GetDescription(const std::string& FileName);
    // A blank description removes the key (and creates no file).
    void SetDescription(const std::string& FileName, const std::string& Description);

  private:
    // Root + Name; raises EUnsafePath for a name that would leave the root.
    std::string FullPath(const std::string& Name) const;
    void CopyOrMove(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite, bool Move);
    // The description file of the folder of Path, kept open while the same
    // file is asked for (under m_descriptionLock).
    TIniFile& DescriptionFile(const std::string& Path);

    std::string m_root;
    std::string m_descriptionFileName = ".description";
    TCriticalSection m_descriptionLock;
    std::unique_ptr<TIniFile> m_descriptionFile;
};
