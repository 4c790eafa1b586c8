#include "platform/platform.h"

namespace platform {

// POSIX locales carry no list separator.
char ListSeparator() { return ','; }

} // namespace platform
