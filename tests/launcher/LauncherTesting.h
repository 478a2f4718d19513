#pragma once
// The built program run as a user starts it: a copy of the program and its
// library in a folder of their own, started with the environment of a test
// run and waited for with a limit.

#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/Threads.h"
#include "support/BuiltFile.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifndef KLD_TALLOWIN
#error "the launcher tests need the path of the built program (KLD_TALLOWIN)"
#endif

// Runs the program with the environment of a test run; kills it when it does
// not end within `limitMs` (a hang is a failure, not a wait).
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env = {},
                      uint32_t limitMs = 60000)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    for (const auto& [name, value] : env)
        setenv(name.c_str(), value.c_str(), 1);
    std::unique_ptr<TProcess> process = StartProcess(program, args);
    for (const auto& [name, value] : env)
        unsetenv(name.c_str());
    if (!process) {
        ADD_FAILURE() << "cannot start " << program << ": " << LastProcessError();
        return -1;
    }
    // Keep this process's windows answering while the program runs.
    QElapsedTimer clock;
    clock.start();
    while (!process->WaitFor(20)) {
        QApplication::processEvents();
        if (clock.elapsed() > limitMs) {
            ::kill(process->Pid(), SIGKILL);
            process->WaitFor(INFINITE);
            ADD_FAILURE() << program << " did not end";
            return -1;
        }
    }
    return process->ExitCode();
}

// The built program and its library, copied into a folder of their own.
struct TProgramCopy
{
    TTempFolder Dir;
    std::string Program;
    std::string Library;
    TProgramCopy()
    {
        Program = Dir / "Tallowin";
        Library = Dir / "libMirabo.so";
        EXPECT_TRUE(CopyFile(BuiltFile(KLD_TALLOWIN), Program, false));
        EXPECT_TRUE(CopyFile(BuiltFile(KLD_MIRABO), Library, false));
        // The first show must not ask the brand's update address.
        WriteText(Dir / "Tallowin.ini", "[UPDATE]\nAutoUpdate=FALSE\n");
    }
};

