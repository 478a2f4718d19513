#pragma once
// Collects the boundary errors (platform/Threads.h) reported while it lives,
// as "where: message" lines, so that a test sees what reached the program's
// error boundary instead of stderr.

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
