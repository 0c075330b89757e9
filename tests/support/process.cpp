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
  HANDLE out_read, out_write, err_read, err_write;
  if (!::CreatePipe(&out_read, &out_write, &inherit, 0)) throw std::runtime_error("CreatePipe");
  if (!::CreatePipe(&err_read, &err_write, &inherit, 0)) {
    ::CloseHandle(out_read);
    ::CloseHandle(out_write);
    throw std::runtime_error("CreatePipe");
  }
  ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out_write;
  si.hStdError = err_write;
  PROCESS_INFORMATION pi{};
  std::string cmd = command_line;
  const BOOL started =
      ::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  ::CloseHandle(out_write);
  ::CloseHandle(err_write);
  out_ = out_read;
  err_ = err_read;
  if (!started) throw std::runtime_error("cannot start " + command_line);
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
}

Child::~Child() {
  for (void* h : {process_, out_, err_})
    if (h) ::CloseHandle(h);
}

RunResult Child::Wait() {
  RunResult r;
  std::thread err_reader(Drain, static_cast<HANDLE>(err_), &r.err);
  Drain(out_, &r.out);
  err_reader.join();
  ::WaitForSingleObject(process_, INFINITE);
  ::GetExitCodeProcess(process_, &r.exit_code);
  return r;
}

RunResult Run(const std::string& command_line) { return Child(command_line).Wait(); }

}  // namespace murtest
