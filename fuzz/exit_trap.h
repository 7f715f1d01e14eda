// Runs the whole tool in-process, catching the paths that end the process.
//
// A binary that uses this is linked with -Wl,--wrap=exit: every call to
// exit() from the objects linked into it (the tool's among them) lands in
// __wrap_exit, which jumps back here while a run is in progress and ends
// the process as usual otherwise. Calls from shared libraries are not
// redirected.
#pragma once

// Runs cli_main(argc, argv) and returns the status the process would end
// with (the low 8 bits of cli_main's result, or of exit()'s argument).
// `exited` tells whether the tool called exit().
int exit_trap_cli_main(int argc, char **argv, bool *exited);
