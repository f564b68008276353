#include "hostsystem.h"

namespace platform {

System hostSystem() { return System::Windows; }

} // namespace platform
