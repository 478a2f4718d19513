#pragma once
// The server client's debug switch, set by the launcher from its "DEBUG"
// switch before anything connects. The connection unit reads it.

extern bool NembraClientDebugMode;
