// Ctrl-C, termination requests, a closed terminal and a closed pipe, turned into a flag that
// a run checks between files, and a descriptor that an event loop can watch.
#pragma once

namespace platform {

// Catches SIGINT, SIGTERM, SIGHUP and SIGPIPE: the first one only records itself, so the
// files in hand are finished and everything is cleaned up. A second SIGINT, SIGTERM or SIGHUP
// ends the program at once (its temporary files are removed by the next run); SIGPIPE keeps
// being caught, since every later write to the closed pipe raises it again.
void installStopHandler();

bool stopRequested();

// The signal that asked for the stop, 0 when none did.
int stopSignal();

// A descriptor that becomes readable once a stop is requested, for an event loop that waits
// for input rather than checking the flag; -1 before installStopHandler().
int stopDescriptor();

// When a signal stopped the run, ends the program by that signal with its default action, as
// the Unix convention asks (a shell then sees 128 + its number and stops a loop); returns
// otherwise.
void endByStopSignal();

} // namespace platform
