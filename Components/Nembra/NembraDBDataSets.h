#pragma once
// The unit NembraDBDataSets: datasets whose rows live on the application
// server. `TNembraDatabase` (and the registry NembraDatabases) opens a server
// database on a connection; `TNembraDBDataSet` is the base of the remote
// datasets `TNembraQuery`, `TNembraTable`, `TNembraStoredProc` and
// `TNembraPlugin`. The procedures and parameters they use are listed in
// NembraProcedures.h.

#include "Components/Nembra/NembraDBDataSet.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/NembraPlugin.h"
#include "Components/Nembra/NembraProcedures.h"
#include "Components/Nembra/NembraQuery.h"
#include "Components/Nembra/NembraStoredProc.h"
