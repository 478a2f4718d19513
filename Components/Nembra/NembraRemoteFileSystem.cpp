#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraLocalFileSystem.h"

#include "platform/Streams.h"

namespace {

constexpr std::string_view kPrefix = "vrs+";
constexpr std::string_view kSchemeEnd = "://";

bool HasPrefix(const std::string& URI)
{
    return SameText(std::string_view(URI).substr(0, kPrefix.size()), kPrefix);
}

// The set as the wire numbers it: bit 1 description, 2 attributes, 4 size,
// 8 time stamp.
int OutputInfoBits(TFindFileOutputs OutputInfo)
{
    return (OutputInfo.Contains(ffoDescription) ? 1 : 0) | (OutputInfo.Contains(ffoAttr) ? 2 : 0) |
           (OutputInfo.Contains(ffoSize) ? 4 : 0) | (OutputInfo.Contains(ffoTime) ? 8 : 0);
}

bool IsJSONReply(TNembraRequest& Request)
{
    constexpr std::string_view json = "application/json";
    return SameText(std::string_view(Request.GetHeaderValue("Content-Type")).substr(0, json.size()), json);
}

// The store's text for a file it does not have ("File not found: \"name").
bool IsFileNotFound(const std::string& Message)
{
    const std::string_view text = SFileNotFound;
    const std::string_view prefix = text.substr(0, text.find("%s"));
    return std::string_view(Message).substr(0, prefix.size()) == prefix;
}

} // namespace

TNembraRemoteFileSystem::TNembraRemoteFileSystem(const std::string& URI)
{
    std::string rest = HasPrefix(URI) ? URI.substr(kPrefix.size()) : URI;
    if (const size_t q = rest.find('?', 1); q != std::string::npos && !rest.empty()) {
        m_share = Trim(rest.substr(q + 1));
        rest.erase(q);
    }
    std::string user;
    if (const size_t at = rest.find('@', 1); at != std::string::npos && !rest.empty()) {
        user = Trim(rest.substr(0, at));
        rest = Trim(rest.substr(at + 1));
    } else
        rest = Trim(rest);
    // "http://user:pw@host": the scheme belongs to the server's address.
    if (const size_t s = user.find(kSchemeEnd); s != std::string::npos) {
        rest = user.substr(0, s + kSchemeEnd.size()) + rest;
        user.erase(0, s + kSchemeEnd.size());
    }
    if (const size_t colon = user.find(':', 1); colon != std::string::npos && !user.empty()) {
        m_userName = user.substr(0, colon);
        m_password = user.substr(colon + 1);
    } else
        m_userName = user;

    if (rest.find(kSchemeEnd) != std::string::npos) {
        m_ownConnection = std::make_unique<TNembraConnection>();
        m_ownConnection->SetServerURL(rest);
        m_ownConnection->SetAuthentication(qauthNone);
    } else {
        TNembraConnection::GetConnectionByName(rest); // raises for an unknown name
        m_connectionName = rest;
    }
}

TNembraRemoteFileSystem::~TNembraRemoteFileSystem() = default;

bool TNembraRemoteFileSystem::Accept(const std::string& URI)
{
    return HasPrefix(URI);
}

const TNembraFileSystemClass& TNembraRemoteFileSystem::Class()
{
    static const TNembraFileSystemClass c{
        "TNembraRemoteFileSystem", [](const std::string& URI) { return Accept(URI); },
        [](const std::string& URI) -> std::unique_ptr<TNembraFileSystem> {
            return std::make_unique<TNembraRemoteFileSystem>(URI);
        }};
    return c;
}

TNembraConnection& TNembraRemoteFileSystem::Connection()
{
    if (m_ownConnection)
        return *m_ownConnection;
    return TNembraConnection::GetConnectionByName(m_connectionName);
}

std::unique_ptr<TNembraRequest> TNembraRemoteFileSystem::NewCall(const std::string& Procedure)
{
    TNembraConnection& connection = Connection();
    {
        std::lock_guard<std::mutex> guard(m_activationLock);
        connection.SetActive(true);
    }
    std::unique_ptr<TNembraRequest> request = connection.GetNembraRequest();
    request->SetProcedureName(Procedure);
    request->SetResponseType(qrtStream);
    request->SetParam("Share", Variant(m_share));
    if (!m_userName.empty())
        request->SetParam("User", Variant(m_userName));
    if (!m_password.empty())
        request->SetParam("Password", Variant(m_password));
    return request;
}

void TNembraRemoteFileSystem::Run(TNembraRequest& Request)
{
    Request.Execute();
    if (IsJSONReply(Request)) {
        Request.SetResponseType(qrtJSON);
        Request.CheckResponse();
    }
}

int TNembraRemoteFileSystem::FindFiles(const std::string& Mask, int64_t MinTimeStamp, int64_t& MaxTimeStamp,
                                       int32_t FileAttributes, TFindFileOutputs OutputInfo,
                                       const TFindFileCallback& Callback, void* Data)
{
    auto request = NewCall("VRS.FindFiles");
    request->SetParam("Path", Variant(Mask));
    request->SetParam("MinTimeStamp", Variant(IntToStr(MinTimeStamp)));
    request->SetParam("FileAttributes", Variant(IntToStr(FileAttributes)));
    request->SetParam("OutputInfo", Variant(IntToStr(OutputInfoBits(OutputInfo))));
    request->Execute();
    // The listing is a JSON object whatever the reply's type says.
    request->SetResponseType(qrtJSON);
    request->CheckResponse();
    TJSONObject& reply = request->GetJSONObject();
    MaxTimeStamp = reply.GetValues("MaxFileTimeStamp").GetAsInt64();
    TJSONValue& files = reply.GetValues("Files");
    if (files.GetIsNull())
        return 0;
    const TJSONArray& list = files.GetAsArray();
    for (int i = 0; Callback && i < list.Count(); ++i) {
        const TJSONArray& file = list.GetValue(i).GetAsArray();
        int next = 1;
        auto detail = [&](TFindFileOutput What) -> TJSONValue* {
            if (!OutputInfo.Contains(What) || next >= file.Count())
                return nullptr;
            return &file.GetValue(next++);
        };
        TJSONValue* description = detail(ffoDescription);
        TJSONValue* attributes = detail(ffoAttr);
        TJSONValue* size = detail(ffoSize);
        TJSONValue* timeStamp = detail(ffoTime);
        Callback(this, file.Count() > 0 ? file.GetValue(0).GetAsString() : std::string(),
                 description ? description->GetAsString() : std::string(),
                 attributes ? attributes->GetAsInteger() : 0, size ? size->GetAsInt64() : 0,
                 timeStamp ? timeStamp->GetAsInt64() : 0, Data);
    }
    return list.Count();
}

std::unique_ptr<TStream> TNembraRemoteFileSystem::GetFile(const std::string& FileName, int64_t& TimeStamp)
{
    auto request = NewCall("VRS.GetFile");
    request->SetParam("FileName", Variant(FileName));
    request->SetParam("FileTimeStamp", Variant(IntToStr(TimeStamp)));
    try {
        Run(*request);
    } catch (const TNembraException& e) {
        // The store's answer that it has no such file is no failed call: like
        // every reply that is not the file, it gives nothing, and the cache
        // keeps serving its copy (or says it has none).
        if (IsFileNotFound(e.Message()))
            return nullptr;
        throw;
    }
    int64_t version = 0;
    if (TryStrToInt64(request->GetHeaderValue("Content-Version"), version))
        TimeStamp = version;
    if (!SameText(request->GetHeaderValue("Content-Type"), "application/download"))
        return nullptr;
    std::unique_ptr<TStream> content = request->ExtractResponse();
    if (content)
        content->SetPosition(0);
    return content;
}

void TNembraRemoteFileSystem::PutFile(const std::string& FileName, const std::string& Description, int64_t TimeStamp,
                                      TStream& Stream)
{
    auto request = NewCall("VRS.PutFile");
    request->SetParam("FileName", Variant(FileName));
    request->SetParam("Description", Variant(Description));
    request->SetParam("FileTimeStamp", Variant(IntToStr(TimeStamp)));
    Stream.SetPosition(0);
    request->SetParam("FileData", Variant(EncodeBase64(StreamToString(Stream))));
    Run(*request);
}

void TNembraRemoteFileSystem::Delete(const std::string& FileName)
{
    auto request = NewCall("VRS.Delete");
    request->SetParam("FileName", Variant(FileName));
    Run(*request);
}

void TNembraRemoteFileSystem::CopyFile(const std::string& FileName, const std::string& NewFileName,
                                       bool AllowOverwrite)
{
    CopyOrMove("VRS.CopyFile", FileName, NewFileName, AllowOverwrite);
}

void TNembraRemoteFileSystem::Rename(const std::string& FileName, const std::string& NewFileName,
                                     bool AllowOverwrite)
{
    CopyOrMove("VRS.Rename", FileName, NewFileName, AllowOverwrite);
}

void TNembraRemoteFileSystem::CopyOrMove(const std::string& Procedure, const std::string& FileName,
                                         const std::string& NewFileName, bool AllowOverwrite)
{
    auto request = NewCall(Procedure);
    request->SetParam("FileName", Variant(FileName));
    request->SetParam("NewFileName", Variant(NewFileName));
    request->SetParam("AllowOverride", Variant(std::string(AllowOverwrite ? "True" : "False")));
    Run(*request);
}

void TNembraRemoteFileSystem::Extract(const std::string& ZipFileName, const std::string& DestPath,
                                      const std::string& ExtractFileMask, const std::string& ExcludeFileMask)
{
    auto request = NewCall("VRS.Extract");
    request->SetParam("ZipFileName", Variant(ZipFileName));
    request->SetParam("DestPath", Variant(DestPath));
    request->SetParam("ExtractFileMask", Variant(ExtractFileMask));
    request->SetParam("ExcludeFileMask", Variant(ExcludeFileMask));
    Run(*request);
}

void TNembraRemoteFileSystem::CreateDirectory(const std::string& Path)
{
    auto request = NewCall("VRS.CreateDirectory");
    request->SetParam("Path", Variant(Path));
    Run(*request);
}
