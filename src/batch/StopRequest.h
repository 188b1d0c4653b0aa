// Ctrl-C and termination requests, turned into a flag the run checks between files.
#pragma once

namespace batch {

// Catches SIGINT and SIGTERM: the first one only sets the flag, so the file in hand is
// finished; the handler then steps aside, and a second one ends the program at once.
void installStopHandler();

bool stopRequested();

} // namespace batch
