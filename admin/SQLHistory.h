#pragma once
// `TSQLHistory`: the texts that ran in the SQL consoles of one explorer, one
// entry per distinct text per console, each entry's object being the
// console it belongs to. The explorer owns it; every SQL console of that
// explorer shares it and keeps its own position and count.
//
// A console's entries are addressed by their ordinal among that console's
// entries (0 = its first), so other consoles' texts in between do not move
// its position. Main thread only.

#include "platform/StringList.h"

#include <string>

class TSQLHistory : public TStringList
{
  public:
    TSQLHistory() = default;
    std::string ClassName() const override { return "TSQLHistory"; }

    // Adds the text that ran in `console`: when one of its entries equals the
    // text without regard to case, the position becomes that entry's ordinal;
    // otherwise the text is appended, the position becomes the previous count
    // and the count grows by one.
    void AddText(TObject* console, const std::string& text, int& position, int& count);
    // The console's entry of that ordinal; raises EListError outside
    // 0 .. CountOf(console) - 1.
    std::string EntryOf(const TObject* console, int ordinal) const;
    // The number of the console's entries.
    int CountOf(const TObject* console) const;
    // Deletes all of the console's entries; the position becomes -1 and the
    // count 0.
    void Reset(const TObject* console, int& position, int& count);
};
