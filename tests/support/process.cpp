#include "support/process.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace murtest {
namespace {

void Drain(HANDLE pipe, std::string* into) {
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buf, sizeof buf, &got, nullptr) && got > 0) into->append(buf, got);
}

}  // namespace

std::string BinDir() {
  char path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return p.substr(0, p.find_last_of('\\'));
}

std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string q = "\"";
  for (char c : arg) {
    if (c == '"') q += '\\';
    q += c;
  }
  return q + "\"";
}

Child::Child(const std::string& command_line) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle out_write, err_write;
  if (!::CreatePipe(out_.put(), out_write.put(), &inherit, 0) ||
      !::CreatePipe(err_.put(), err_write.put(), &inherit, 0))
    throw std::runtime_error("CreatePipe");
  ::SetHandleInformation(out_.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out_write.get();
  si.hStdError = err_write.get();
  PROCESS_INFORMATION pi{};
  std::string cmd = command_line;
  if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    throw std::runtime_error("cannot start " + command_line);
  // Only the child holds the pipes' write ends now: reads end when it does.
  Handle thread(pi.hThread);
  process_.reset(pi.hProcess);
  pid_ = pi.dwProcessId;
}

RunResult Child::Wait() {
  RunResult r;
  std::thread err_reader(Drain, err_.get(), &r.err);
  Drain(out_.get(), &r.out);
  err_reader.join();
  ::WaitForSingleObject(process_.get(), INFINITE);
  ::GetExitCodeProcess(process_.get(), &r.exit_code);
  return r;
}

void Child::Kill() {
  ::TerminateProcess(process_.get(), 1);
  ::WaitForSingleObject(process_.get(), 60000);
}

RunResult Run(const std::string& command_line) { return Child(command_line).Wait(); }

}  // namespace murtest
