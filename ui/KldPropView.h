#pragma once
// Unit KldPropView: the ready-made views on the virtual grid. The grid items
// and columns (KldGridItems.h), the collection view that shows a
// collection's items by published property (KldCollectionView.h) and the
// property list with its categories (KldObjectView.h).

#include "ui/KldCollectionView.h"
#include "ui/KldGridItems.h"
#include "ui/KldObjectView.h"
