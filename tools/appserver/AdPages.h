#pragma once
// The advertising service's pages (AdPages.cpp).

namespace httplib {
class Server;
}
class TDatabase;

void RegisterAdPages(httplib::Server& http, TDatabase& db);
