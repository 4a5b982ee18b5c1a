#pragma once

namespace ostrel::shell {

// Starts the desktop application and runs it until the user exits.
int runDesktopApplication(int argc, char** argv);

// "ostrel demo [SECONDS]": starts the desktop application, records SECONDS
// (default 3) through the Control menu, closes the size message by itself,
// prints where the recording went and exits.
int runDesktopDemo(int argc, char** argv);

// "ostrel play FILE": opens the player window on FILE and plays it at once;
// the program ends when that window closes.
int runDesktopPlayer(int argc, char** argv);

}  // namespace ostrel::shell
