// Signs modules with the integrity trailer: ovnsign <file>...
// Exit code 0 when every file was signed, 1 on usage errors, 2 when a file
// could not be signed (the reason goes to stderr).
#include "Components/Controller/ovnSigning.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: ovnsign <file>...\n";
        return 1;
    }
    int rc = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            ovnSignModule(argv[i], 0);
        } catch (const Exception& e) {
            std::cerr << "ovnsign: " << e.Message() << "\n";
            rc = 2;
        }
    }
    return rc;
}
