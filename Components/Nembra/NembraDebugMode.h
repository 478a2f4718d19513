#pragma once
// The server client's debug switches, set by the launcher from its "DEBUG"
// switch before anything connects. The connection unit reads them: in debug
// mode the default time-out is 60 s, sockets send in blocks of 2,048 bytes,
// and every socket progress event sleeps NembraClientDebugSocketSleep ms
// (when above 0), so that the progress of a call can be watched.

extern bool NembraClientDebugMode;
extern int NembraClientDebugSocketSleep;
