#pragma once
// Stack traces for error reports: the frames of a stack as addresses
// (glibc's backtrace), named by the debugging information of the modules
// (libdw of elfutils: function, file, line; else the raw address), and the
// stacks of other named threads, taken through a signal whose handler only
// records frames.
//
// Capturing is cheap and allocates nothing but the result; naming reads the
// modules' debugging information and is meant for reports only.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using TStackFrames = std::vector<void*>;

// The calling thread's frames, innermost first, leaving out Skip frames
// above the caller; at most MaxFrames.
TStackFrames CaptureStack(int Skip = 0, int MaxFrames = 64);

// One line per frame: "(address) function + offset [file:line]" where the
// debugging information knows them, "(address) module" or "(address)"
// otherwise. Return addresses are looked up one byte back, inside the call.
std::vector<std::string> DescribeStack(const TStackFrames& Frames);

// The platform's threads with names, as TThread registers them while they
// run (the main thread is not listed).
struct TNamedThread
{
    uint32_t Id = 0;
    std::string Name;
};
void RegisterNamedThread(uint32_t Id, const std::string& Name);
void UnregisterNamedThread(uint32_t Id);
std::vector<TNamedThread> NamedThreads();
// The calling thread's registered name ("" when it has none).
std::string CurrentThreadName();

// The frames of thread Id of this process: the thread records them in a
// signal handler; a thread that does not answer within Timeout is left out
// (false). The calling thread's own stack is CaptureStack.
bool CaptureThreadStack(uint32_t Id, TStackFrames& Frames,
                        std::chrono::milliseconds Timeout = std::chrono::milliseconds(250));
