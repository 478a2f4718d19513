#include "Components/Nembra/NembraDebugMode.h"

bool NembraClientDebugMode = false;
