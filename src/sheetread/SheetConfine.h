#pragma once

// Confines the current process before it reads a file from outside:
// memory (address space) at most 512 MB, 20 s of processor time, no file
// may be written or grown, few file descriptors, no core dump; then no new
// privileges and a system-call filter that refuses sockets, new processes,
// signals to others and every open for writing or creating, and every change
// to the file system.  false when the filter could not be installed (the
// caller then reads nothing).
bool ConfineProcess();
