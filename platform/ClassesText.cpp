#include "platform/ClassesText.h"

#include <cstring>

namespace kld_classes {
std::string OsErrorText(int error)
{
    return std::strerror(error);
}
} // namespace kld_classes
