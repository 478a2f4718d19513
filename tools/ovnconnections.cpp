// Points a connection of the client's settings file at a server:
//   ovnconnections PROGRAM NAME URL [UPDATE_URL]
// The settings file is the one the client PROGRAM reads (named like it with
// ".ini", beside it or in the per-user folder). The entry whose
// "Connection" is NAME gets URL; when there is none it is added as the
// default connection. Every other entry stays as it is. With UPDATE_URL the
// client's update address (UPDATE, UpdateURL) becomes that. scripts/demo uses
// it to point the client at the local application server it starts.

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/FileUtils.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: ovnconnections PROGRAM NAME URL [UPDATE_URL]\n");
        return 2;
    }
    try {
        const std::string program = std::filesystem::absolute(argv[1]).string();
        const std::string folder = ovnChooseDataPath(ExtractFilePath(program));
        ovnMakePrivateFolder(folder);
        TIniFile ini(folder + ChangeFileExt(ExtractFileName(program), ".ini"));
        // No built-in entry: a file without connections gets only this one.
        TovnConnections connections;
        connections.LoadFromIni(ini, "CONNECTIONS");
        TovnConnectionItem* entry = connections.Find("Connection", argv[2]);
        if (!entry) {
            entry = connections.Add();
            entry->SetConnection(argv[2]);
            entry->SetDefault(true);
        }
        entry->SetURL(argv[3]);
        connections.SaveToIni(ini, "CONNECTIONS");
        if (argc == 5)
            ini.WriteString("UPDATE", "UpdateURL", argv[4]);
        ini.UpdateFile();
        std::printf("%s\n", ini.FileName().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ovnconnections: %s\n", e.what());
        return 1;
    }
}
