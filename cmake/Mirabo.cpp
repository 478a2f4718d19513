// The controller library is assembled from the folder libraries; this file
// only gives the shared library a translation unit of its own.
extern "C" const char* MiraboLibraryName() { return "Mirabo"; }
