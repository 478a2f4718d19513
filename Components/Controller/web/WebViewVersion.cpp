#include "Components/Controller/web/WebViewVersion.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

bool SplitVersion(std::string_view text, std::vector<uint64_t>& parts)
{
    if (text.empty())
        return false;
    uint64_t value = 0;
    int digits = 0;
    for (size_t i = 0; i <= text.size(); ++i)
    {
        if (i == text.size() || text[i] == '.')
        {
            if (digits == 0)
                return false;
            parts.push_back(value);
            value = 0;
            digits = 0;
        }
        else if (text[i] >= '0' && text[i] <= '9' && digits < 18)
        {
            value = value * 10 + static_cast<uint64_t>(text[i] - '0');
            ++digits;
        }
        else
            return false;
    }
    return true;
}

} // namespace

bool CompareDottedVersions(std::string_view a, std::string_view b, int& result)
{
    std::vector<uint64_t> pa, pb;
    if (!SplitVersion(a, pa) || !SplitVersion(b, pb))
        return false;
    const size_t n = std::max(pa.size(), pb.size());
    pa.resize(n, 0);
    pb.resize(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (pa[i] != pb[i])
        {
            result = pa[i] < pb[i] ? -1 : 1;
            return true;
        }
    result = 0;
    return true;
}
