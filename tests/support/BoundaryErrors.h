#pragma once
// Collects the errors reported at the platform's boundaries (event loop,
// timers, threads) while it lives: "where: message" each.

#include "platform/Threads.h"

#include <string>
#include <vector>

class TBoundaryErrors
{
  public:
    TBoundaryErrors()
    {
        SetBoundaryErrorHandler([this](const std::string& where, const std::string& message) {
            Reports.push_back(where + ": " + message);
        });
    }
    ~TBoundaryErrors() { SetBoundaryErrorHandler(nullptr); }
    TBoundaryErrors(const TBoundaryErrors&) = delete;
    TBoundaryErrors& operator=(const TBoundaryErrors&) = delete;

    std::vector<std::string> Reports;
};
