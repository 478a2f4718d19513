#pragma once
// The advertising service's pages (AdPages.cpp).

#include <cstddef>

namespace httplib {
class Server;
}
class TDatabase;

// SRV_AD_REQUESTS keeps this many of the last requests, each with at most
// this many bytes of its headers (its target is kept whole).
inline constexpr size_t KeptAdRequests = 300;
inline constexpr size_t AdHeaderBytes = 4096;

void RegisterAdPages(httplib::Server& http, TDatabase& db);
