// Runs a program of the build (murhost.exe) and collects what it printed.
#pragma once

#include <string>

#include "support/handles.h"

namespace murtest {

struct RunResult {
  unsigned long exit_code = 0;
  std::string out;
  std::string err;
};

// A started program whose standard output and error are read from pipes.
class Child {
 public:
  // Starts `command_line` (the program path first, quoted as needed). The
  // child inherits every inheritable handle of this process.
  explicit Child(const std::string& command_line);
  // Reads its output to the end and waits for it to exit.
  RunResult Wait();
  // Ends it at once, wherever it is, and waits until it has ended.
  void Kill();
  unsigned long pid() const { return pid_; }

 private:
  Handle process_;
  Handle out_;
  Handle err_;
  unsigned long pid_ = 0;
};

// Runs `command_line` and waits for it to end.
RunResult Run(const std::string& command_line);

// The folder of the running test program, where the build puts its programs.
std::string BinDir();

// Quotes one argument for a command line.
std::string Quote(const std::string& arg);

}  // namespace murtest
