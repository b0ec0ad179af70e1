// Included before every source of the Windows build: the POSIX names the Windows C runtime knows under
// another name. Nothing else; system-dependent code lives in files of its own.
#pragma once

#include <fcntl.h>

// Not handed to child processes: the runtime's name for close-on-exec. Every open() of the program
// asks for it, so it carries binary mode too: bytes as on Linux, no CR added before LF, no stop at ^Z.
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)

#include <csignal>

// The console's Ctrl+Break stands where a terminal's hang-up is on Linux: the user ends the program.
#define SIGHUP SIGBREAK
