#include "hostsystem.h"

namespace platform {

System hostSystem() { return System::Linux; }

} // namespace platform
