// The last step of a program: its exit status handed to the system once
// every object of main is gone.
#pragma once

// Returns status to be returned from main; on Windows it ends the process
// itself, its output flushed, without the libraries' teardown: the MinGW
// build of a program that reached the record over TLS from a thread of its
// own hung there, in the C++ runtime's detach, after its work was done.
int leaveProcess(int status);
