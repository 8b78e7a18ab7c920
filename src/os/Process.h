#pragma once

#include <string>

// What a program needs of its own process that each system does its own way. This file's
// Linux half is Process_linux.cpp; another system needs a half of its own.
namespace Process {

// The folder of the running program's file, with its separator at the end; empty when
// the system does not say.
std::string programFolder();
// Runs the program at `path` with `argv` in this process's place, so that its exit status
// is this process's. Returns only when it could not.
void replaceWith(const std::string& path, char* argv[]);
// Whether a process of that number is running.
bool isRunning(long long pid);

} // namespace Process
