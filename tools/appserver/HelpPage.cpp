#include "HelpPage.h"

#include <httplib.h>

void RegisterHelpPage(httplib::Server& http)
{
    http.Get("/help/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Web Help</title></head>\n"
                        "<body><h1>Web Help</h1>\n"
                        "<p>This is the help page of the local demo server.</p>\n"
                        "<ul><li>Sign in with <b>Session, User Login</b>.</li>\n"
                        "<li>Change your password with <b>Session, Change Password</b>.</li>\n"
                        "<li>Lock the browser with <b>Session, Lock Browser</b>; your password unlocks it.</li>"
                        "</ul>\n</body></html>\n",
                        "text/html; charset=utf-8");
    });
}
