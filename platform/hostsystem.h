#pragma once
// The system the program was built for, for the few texts and toolkit
// choices that differ between the two (the usage's examples, the toolkit's
// platform names). Code that words or picks by it takes the system as a
// parameter, so that tests on one system can check what the other one gets.
namespace platform {

enum class System { Linux, Windows };

System hostSystem();

} // namespace platform
