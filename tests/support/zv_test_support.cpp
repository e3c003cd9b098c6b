#include "zv_test_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#else
#  include <cerrno>
#  include <csignal>
#  include <cstring>
#  include <fcntl.h>
#  include <sys/wait.h>
#  include <unistd.h>
#endif

namespace zv::test {

namespace {

std::string env_dir(const char* var) {
  const char* v = std::getenv(var);
  if (!v || !*v)
    throw std::runtime_error(std::string(var) +
                             " is not set (run the test through ctest)");
  std::string dir = v;
#ifdef _WIN32
  // ctest hands the Unix path to Wine unchanged; Wine shows the Unix root
  // as drive Z:.
  if (dir[0] == '/') dir = "Z:" + dir;
  for (char& c : dir)
    if (c == '/') c = '\\';
#endif
  return dir;
}

constexpr char kSep =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace

std::string bin_dir() { return env_dir("ZV_BIN_DIR"); }

std::string program_path(const std::string& name) {
#ifdef _WIN32
  return bin_dir() + kSep + name + ".exe";
#else
  return bin_dir() + kSep + name;
#endif
}

std::string source_path(const std::string& relative) {
  std::string rel = relative;
  for (char& c : rel)
    if (c == '/') c = kSep;
  return env_dir("ZV_SOURCE_DIR") + kSep + rel;
}

std::string read_file(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), w.data(), n);
  return w;
}

// Quotes one argument so that the child's CommandLineToArgvW / CRT startup
// code splits it back out unchanged: backslashes are literal unless they
// precede a quote, so those runs are doubled.
void append_quoted(std::wstring& cmd, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    cmd += arg;
    return;
  }
  cmd += L'"';
  for (size_t i = 0;; ++i) {
    size_t slashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++slashes;
    }
    if (i == arg.size()) {
      cmd.append(slashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      cmd.append(slashes * 2 + 1, L'\\');
    } else {
      cmd.append(slashes, L'\\');
    }
    cmd += arg[i];
  }
  cmd += L'"';
}

// An inheritable temporary file, deleted when closed.
class TempFile {
 public:
  TempFile() {
    wchar_t dir[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, dir) ||
        !GetTempFileNameW(dir, L"zvt", 0, name))
      throw std::runtime_error("cannot create a temporary file");
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    h_ = CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &sa, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                     nullptr);
    if (h_ == INVALID_HANDLE_VALUE)
      throw std::runtime_error("cannot open a temporary file");
  }
  ~TempFile() { CloseHandle(h_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  HANDLE handle() const { return h_; }

  void write(const std::string& data) {
    DWORD done = 0;
    if (!data.empty() &&
        (!WriteFile(h_, data.data(), (DWORD)data.size(), &done, nullptr) ||
         done != data.size()))
      throw std::runtime_error("cannot write a temporary file");
    SetFilePointer(h_, 0, nullptr, FILE_BEGIN);
  }

  std::string read_all() {
    SetFilePointer(h_, 0, nullptr, FILE_BEGIN);
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h_, buf, sizeof buf, &got, nullptr) && got > 0)
      data.append(buf, got);
    return data;
  }

 private:
  HANDLE h_;
};

}  // namespace

RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const RunOptions& options) {
  TempFile in, out, err;
  in.write(options.stdin_data);

  std::wstring wprogram = widen(program);
  std::wstring cmd;
  append_quoted(cmd, wprogram);
  for (const auto& a : args) {
    cmd += L' ';
    append_quoted(cmd, widen(a));
  }

  // The environment block: ours without the names options.env sets, then
  // those (names compare without case on Windows).
  std::wstring block;
  if (!options.env.empty()) {
    std::vector<std::wstring> set;
    for (const auto& v : options.env) set.push_back(widen(v));
    auto name_of = [](const std::wstring& v) {
      std::wstring n = v.substr(0, v.find(L'=', 1));
      CharUpperBuffW(&n[0], DWORD(n.size()));
      return n;
    };
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* v = own; *v; v += wcslen(v) + 1) {
      bool replaced = false;
      for (const auto& w : set) replaced = replaced || name_of(w) == name_of(v);
      if (!replaced) block.append(v, wcslen(v) + 1);
    }
    FreeEnvironmentStringsW(own);
    for (const auto& w : set) block.append(w.c_str(), w.size() + 1);
    block += L'\0';
  }

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in.handle();
  si.hStdOutput = out.handle();
  si.hStdError = err.handle();
  PROCESS_INFORMATION pi{};
  std::wstring wdir = widen(options.working_dir);
  if (!CreateProcessW(wprogram.c_str(), cmd.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                      block.empty() ? nullptr : &block[0],
                      wdir.empty() ? nullptr : wdir.c_str(), &si, &pi))
    throw std::runtime_error("cannot start " + program + " (error " +
                             std::to_string(GetLastError()) + ")");
  CloseHandle(pi.hThread);

  RunResult r;
  if (WaitForSingleObject(pi.hProcess, (DWORD)options.timeout_ms) ==
      WAIT_TIMEOUT) {
    r.timed_out = true;
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  r.exit_code = (int)code;
  r.out = out.read_all();
  r.err = err.read_all();
  return r;
}

#else  // POSIX

namespace {

// An unlinked temporary file; the descriptor is close-on-exec, the child
// gets it through dup2() which clears that flag.
class TempFile {
 public:
  TempFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/zvtXXXXXX";
    fd_ = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot create a temporary file");
    unlink(tmpl.c_str());
  }
  ~TempFile() { close(fd_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_; }

  void write(const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
      ssize_t n = ::write(fd_, data.data() + off, data.size() - off);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::runtime_error("cannot write a temporary file");
      off += (size_t)n;
    }
    lseek(fd_, 0, SEEK_SET);
  }

  std::string read_all() {
    lseek(fd_, 0, SEEK_SET);
    std::string data;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd_, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) data.append(buf, (size_t)n);
    return data;
  }

 private:
  int fd_;
};

}  // namespace

RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const RunOptions& options) {
  TempFile in, out, err;
  in.write(options.stdin_data);

  // Everything the child needs is prepared before fork(): only
  // async-signal-safe calls are allowed after it.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const char* dir = options.working_dir.empty() ? nullptr
                                                : options.working_dir.c_str();
  // Our environment without the names options.env sets, then those.
  std::vector<std::string> env_text;
  for (char** v = environ; *v; ++v) {
    std::string entry = *v;
    bool replaced = false;
    for (const auto& w : options.env)
      replaced = replaced || w.substr(0, w.find('=')) == entry.substr(0, entry.find('='));
    if (!replaced) env_text.push_back(entry);
  }
  for (const auto& w : options.env) env_text.push_back(w);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(&e[0]);
  envp.push_back(nullptr);

  // Tells the parent whether exec() failed (the pipe closes on success).
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe2 failed");

  pid_t pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    int e = 0;
    if (dup2(in.fd(), 0) < 0 || dup2(out.fd(), 1) < 0 || dup2(err.fd(), 2) < 0 ||
        (dir && chdir(dir) != 0)) {
      e = errno;
    } else {
      execve(program.c_str(), argv.data(), envp.data());
      e = errno;
    }
    ssize_t ignored = ::write(report[1], &e, sizeof e);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int child_errno = 0;
  ssize_t got;
  do {
    got = read(report[0], &child_errno, sizeof child_errno);
  } while (got < 0 && errno == EINTR);
  close(report[0]);

  RunResult r;
  int status = 0;
  if (got == (ssize_t)sizeof child_errno) {
    waitpid(pid, &status, 0);
    throw std::runtime_error("cannot start " + program + ": " +
                             std::strerror(child_errno));
  }

  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(options.timeout_ms);
  for (;;) {
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) throw std::runtime_error("waitpid failed");
    if (std::chrono::steady_clock::now() >= deadline) {
      r.timed_out = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (WIFEXITED(status))
    r.exit_code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.exit_code = 128 + WTERMSIG(status);
  r.out = out.read_all();
  r.err = err.read_all();
  return r;
}

#endif

bool japanese() {
#ifdef _WIN32
  return (GetThreadLocale() & 0x3FF) == 0x11;
#else
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return std::string(v).rfind("ja", 0) == 0;
  }
  return false;
#endif
}

std::string tr(const char* english, const char* japanese_text) {
  return japanese() ? japanese_text : english;
}

std::string from_console(const std::string& bytes) {
#ifdef _WIN32
  if (bytes.empty()) return bytes;
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), &w[0], n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string text(size_t(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, &text[0], m, nullptr, nullptr);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
#else
  return bytes;
#endif
}

std::string to_console(const std::string& utf8) {
#ifdef _WIN32
  if (utf8.empty()) return utf8;
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
  std::string out(size_t(WideCharToMultiByte(CP_ACP, 0, w.data(), n, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), n, out.data(), int(out.size()), nullptr, nullptr);
  return out;
#else
  return utf8;
#endif
}

RunResult run_script(const std::string& source) {
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  static int counter = 0;
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
      ("zv_script-" + std::to_string(pid) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "main.ksc", std::ios::binary) << source;
  RunOptions options;
  options.working_dir = dir.u8string();
  RunResult r = run_program(program_path("zvs_cmd"), {"main.ksc"}, options);
  std::error_code ignored;  // a directory Wine still holds stays behind
  std::filesystem::remove_all(dir, ignored);
  return r;
}

}  // namespace zv::test
