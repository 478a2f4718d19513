#pragma once
// When the resource file cache fetches a resource from its source. The
// machine preferences store the option by its text, and the cache works by
// it; both take the type from here.

#include <string>

enum TDownloadWhen
{
    downloadNewer,  // when the cached version is unknown or older
    downloadAlways, // on every use
    downloadNever   // only when no local file exists
};

// "newer", "always", "never", by member.
extern const char* const SDownloadWhen[3];

// The member whose text equals S ignoring case; Default for an empty or
// unknown S.
TDownloadWhen StrToDownloadWhen(const std::string& S, TDownloadWhen Default);
std::string DownloadWhenToStr(TDownloadWhen Value);
