#include "Components/Nembra/NembraDebugMode.h"

bool NembraClientDebugMode = false;
int NembraClientDebugSocketSleep = 1;
