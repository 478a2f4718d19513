#include "Components/Nembra/NembraDownloadWhen.h"

#include "platform/SysUtils.h"

const char* const SDownloadWhen[3] = {"newer", "always", "never"};

TDownloadWhen StrToDownloadWhen(const std::string& S, TDownloadWhen Default)
{
    for (int i = downloadNewer; i <= downloadNever; ++i)
        if (SameText(S, SDownloadWhen[i]))
            return static_cast<TDownloadWhen>(i);
    return Default;
}

std::string DownloadWhenToStr(TDownloadWhen Value)
{
    // A value cast from a number out of range reads as the default option.
    return Value >= downloadNewer && Value <= downloadNever ? SDownloadWhen[Value] : SDownloadWhen[downloadNewer];
}
