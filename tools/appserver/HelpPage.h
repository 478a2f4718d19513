#pragma once
// The demo's web help page (HelpPage.cpp).

namespace httplib {
class Server;
}

// GET /help/: a short help page, the home of the client's web help when its
// settings point there.
void RegisterHelpPage(httplib::Server& http);
