#pragma once
// The server client's road to the application server: `TNembraConnection`
// (a named link that signs in, keeps the session and pools its transports)
// and `TNembraRequest` (one remote call). Every call of the system reaches
// the server through these two classes; the exchange on the wire is in
// NembraExchange.cpp and the HTTP client object in NembraTransport.h.
//
// How one call travels:
// 1. The caller fills a request (procedure name, Name=Value parameters) and
//    executes it on a connection, directly or on a worker thread.
// 2. The connection takes a transport from its pool (with the session
//    cookies), posts the form-encoded parameters to the server address
//    followed by "/" and the procedure name, and watches the socket events:
//    upload progress, the chunks of a progress stream, download progress.
// 3. The reply is gunzipped when it says so; a progress stream's result is
//    fetched again with "ResponseHandle=". The status, the session cookie and,
//    for JSON requests, the "Error" member are checked.
// 4. The transport goes back to the pool with the cookies; the request holds
//    the reply, its headers, its JSON object and its timings.

#include "Components/Nembra/NembraConnection.h"
#include "Components/Nembra/NembraDebugMode.h"
#include "Components/Nembra/NembraRequest.h"
#include "Components/Nembra/NembraTransport.h"
