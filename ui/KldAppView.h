#pragma once
// The navigation views: the item tree, the item view base, the module list
// and the applet grid, with the pictures they share.

#include "ui/KldAppItemView.h"
#include "ui/KldAppItems.h"
#include "ui/KldAppletView.h"
#include "ui/KldModuleView.h"
