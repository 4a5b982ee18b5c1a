#pragma once

namespace ostrel::shell {

// Starts the desktop application and runs it until the user exits.
int runDesktopApplication(int argc, char** argv);

}  // namespace ostrel::shell
