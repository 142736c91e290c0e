#pragma once
// Standard output and standard error as kpjcheck uses them: a write that fails must be seen as
// failed, never lost in silence.

namespace kestrova {

// Call once at the start of main, before anything is written (and after writes to a closed
// pipe have been made to fail instead of ending the process). Unsynchronises the C++ streams
// from C stdio and marks standard output or standard error as failed when the program was
// started with it closed. Such a closed descriptor is taken by the null device first, so that no
// file the check opens can take its number and receive the report.
void PrepareStandardStreams();

// Whether the standard descriptor (0, 1 or 2) was closed at start; where the system would hand
// its number to the next file opened, the null device takes it first.
bool HoldIfClosed(int descriptor);

} // namespace kestrova
