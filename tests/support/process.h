// Runs a program of the build (murhost.exe) and collects what it printed.
#pragma once

#include <string>

namespace murtest {

struct RunResult {
  unsigned long exit_code = 0;
  std::string out;
  std::string err;
};

// Runs `command_line` (the program path first, quoted as needed), waiting for
// it to end. Standard output and error are read from pipes.
RunResult Run(const std::string& command_line);

// The folder of the running test program, where the build puts its programs.
std::string BinDir();

// Quotes one argument for a command line.
std::string Quote(const std::string& arg);

}  // namespace murtest
