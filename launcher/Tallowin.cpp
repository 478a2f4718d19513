// The program the user starts: everything happens in the controller library.
#include "launcher/TallowinStart.h"

int main(int argc, char** argv)
{
    return RunTallowin(argc, argv);
}
