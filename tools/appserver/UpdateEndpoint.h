#pragma once
// The client's update endpoint: GET /update/<name> answers the file <name>
// of one folder ("version.txt" and the setup program it names). No session:
// the client asks before anyone signs in. Only bare names of regular files
// are served, and only when the file's real path (every symbolic link
// followed) lies inside the folder; any other path (a folder part, ".",
// ".."), a missing file and a link leading out answer 404, so nothing
// outside the folder is ever read.

#include <string>

namespace httplib {
class Server;
}

void AddUpdateEndpoint(httplib::Server& Http, const std::string& Dir);
// True for a name the endpoint may serve.
bool IsUpdateFileName(const std::string& Name);
