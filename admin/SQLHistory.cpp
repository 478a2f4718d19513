#include "admin/SQLHistory.h"

#include "platform/SysUtils.h"

void TSQLHistory::AddText(TObject* console, const std::string& text, int& position, int& count)
{
    int ordinal = 0;
    for (int i = 0; i < Count(); ++i) {
        if (Objects(i) != console)
            continue;
        if (AnsiSameText(Strings(i), text)) {
            position = ordinal;
            return;
        }
        ++ordinal;
    }
    AddObject(text, console);
    position = count;
    ++count;
}

std::string TSQLHistory::EntryOf(const TObject* console, int ordinal) const
{
    int seen = 0;
    for (int i = 0; i < Count(); ++i) {
        if (Objects(i) != console)
            continue;
        if (seen == ordinal)
            return Strings(i);
        ++seen;
    }
    throw EListError(Format("History entry %d of the console is out of range (it has %d)", ordinal, seen));
}

int TSQLHistory::CountOf(const TObject* console) const
{
    int count = 0;
    for (int i = 0; i < Count(); ++i)
        if (Objects(i) == console)
            ++count;
    return count;
}

void TSQLHistory::Reset(const TObject* console, int& position, int& count)
{
    for (int i = Count() - 1; i >= 0; --i)
        if (Objects(i) == console)
            Delete(i);
    position = -1;
    count = 0;
}
