#pragma once
// Sessions on the local application server (support/AppServerProcess.h)
// opened by one plain HTTP call each, for tests that need a live session id
// without a client connection of their own: the notification relay names a
// link only by the id of a live session.

#include "support/AppServerProcess.h"
#include "support/LoopbackClient.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace AppServerSignIn {

// Sends `request` to 127.0.0.1:`port` and answers what came back until the
// server closed the connection (or was silent for 20 s).
inline std::string Exchange(int port, const std::string& request)
{
    const TLoopbackClient client(port);
    return client.Send(request) ? client.Receive() : std::string();
}

inline std::string FormValue(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// Calls a procedure with a form body (and the session's cookie).
inline std::string Call(const TAppServerProcess& server, const std::string& procedure,
                        const std::string& body, const std::string& session = "")
{
    return Exchange(server.Port(),
                    "POST /bin/orvane.dll/" + procedure + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                        (session.empty() ? "" : "Cookie: WSID=" + session + "\r\n") +
                        "Connection: close\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                        "Content-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body);
}

} // namespace AppServerSignIn

// Signs the user in, ending any other session of that user, and answers the
// new session's id ('' when the server refused).
inline std::string SignInSession(const TAppServerProcess& server, const std::string& user,
                                 const std::string& password = "")
{
    using namespace AppServerSignIn;
    const std::string reply =
        Call(server, "Nembra.Login",
             "USER_ID=" + FormValue(user) + "&USER_PWD=" + FormValue(password) + "&FORCE=True");
    const size_t at = reply.find("WSID=");
    if (at == std::string::npos)
        return {};
    return reply.substr(at + 5, reply.find_first_of(";\r", at) - at - 5);
}

// Ends the session as the client's sign-out does.
inline void SignOutSession(const TAppServerProcess& server, const std::string& session)
{
    AppServerSignIn::Call(server, "Nembra.Logout", "", session);
}
