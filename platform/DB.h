#pragma once
// The data-access classes: datasets, fields, field definitions, data sources
// and links, parameters.

#include "platform/DBTypes.h"
#include "platform/DataSet.h"
#include "platform/DataSource.h"
#include "platform/FieldDefs.h"
#include "platform/Fields.h"
#include "platform/Params.h"
