#pragma once
// Libraries loaded at run time (applet and add-on libraries) and the list of
// modules loaded in this process.

#include <string>
#include <vector>

using HMODULE = void*;

// Loads the library at an absolute path with every symbol bound at once
// (RTLD_NOW). Null on failure, with GetLastLibraryError telling why; a
// relative path is refused, so that no search path can pick another file.
HMODULE LoadLibrary(const std::string& absolutePath);
// The address of an export, null when missing (GetLastLibraryError tells).
void* GetProcAddress(HMODULE module, const std::string& name);
bool FreeLibrary(HMODULE module);
// The text of the last failure of the three above in this thread.
std::string GetLastLibraryError();

// Full file names of the program file and of every shared library loaded
// now, program first, in load order, each once. Pseudo modules without a
// file (the vDSO, nameless entries) are left out.
std::vector<std::string> GetLoadedModules();
