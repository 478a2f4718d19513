#pragma once
// The in-memory table engine: containers, tables, columns, rows, relations,
// row-set cursors and persistence, with the value comparison routines they share.

#include "Components/KldDBComponents/KldDataCollection.h"
#include "Components/KldDBComponents/KldDataColumn.h"
#include "Components/KldDBComponents/KldDataCompare.h"
#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataEvents.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataRow.h"
#include "Components/KldDBComponents/KldDataRowSet.h"
#include "Components/KldDBComponents/KldDataStream.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "Components/KldDBComponents/KldDataTypes.h"
#include "Components/KldDBComponents/KldParameters.h"
