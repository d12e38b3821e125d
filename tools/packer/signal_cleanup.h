// Leaving nothing half-written when the packer is stopped: the temporaries of the output folder are
// registered here while they exist, and the handlers that main() installs remove them on SIGINT, SIGTERM,
// SIGHUP and SIGBUS. SIGBUS comes from reading a mapped input that shrank under the packer; its handler
// names that input. Registration is plain data the handlers can read; the handlers use only
// async-signal-safe calls.
#pragma once
#include <cstdint>

// main() only: the handlers. Without them (the library in tests) registration has no effect.
void installSignalCleanup();

// A temporary file to remove if the process is stopped; unregistered by path once renamed or removed.
void registerTemporary(const char* path);
void unregisterTemporary(const char* path);

// A mapped input of `size` bytes open as fd, for the SIGBUS message; unregistered before it is closed.
void registerInput(const char* path, int fd, uint64_t size);
void unregisterInput(int fd);
