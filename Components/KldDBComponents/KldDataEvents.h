#pragma once
// Change events that the engine broadcasts from its tables and rows through
// the container to the cursors open on it.

#include <functional>

class TObject;
class TKldDataRow;

enum TKldDataEventType
{
    cdeContainerActivated,
    cdeContainerDeactivated,
    cdeContainerChanged,
    cdeContainerDataChanged,
    cdeTableListChanged,
    cdeRelationListChanged,
    cdeTableDataChanged,
    cdeTableChanged,
    cdeColumnListChanged,
    cdeCursorClosed,
    cdeCursorBeforeOpen,
    cdeRowInserted,
    cdeRowModified,
    cdeRowDeleted
};

// The sender is the object named with each event: the container, a table, a
// column, a cursor or a row.
using TKldDataEvent = std::function<void(TObject* sender, TKldDataEventType event)>;
using TKldCalcFieldsEvent = std::function<void(TObject* sender, TKldDataRow* row)>;
