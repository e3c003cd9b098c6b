// Child process for the process-launching tests.
//   zv_test_child args A B ...   prints each argument as "<A>\n" (UTF-8)
//   zv_test_child cat            copies stdin to stdout
//   zv_test_child exit N         prints "out" / "err" to stdout / stderr,
//                                exits with N
//   zv_test_child sleep MS       sleeps, exits 0
//   zv_test_child clipboard MS   (Windows) holds the clipboard open for MS
//                                milliseconds, as a paste in another
//                                program does for a moment
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#  include <fcntl.h>
#  include <io.h>
#  include <windows.h>
#  include <shellapi.h>
#endif

namespace {

// The arguments as UTF-8.  On Windows main()'s argv went through the ANSI
// code page, so they are taken from the wide command line instead.
std::vector<std::string> utf8_args(int argc, char** argv) {
  std::vector<std::string> out;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  for (int i = 0; i < n; ++i) {
    int len = WideCharToMultiByte(CP_UTF8, 0, w[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(len > 0 ? len - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w[i], -1, s.data(), len, nullptr, nullptr);
    out.push_back(s);
  }
  LocalFree(w);
#else
  out.assign(argv, argv + argc);
#endif
  return out;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Byte-exact output: no "\n" -> "\r\n" translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::vector<std::string> args = utf8_args(argc, argv);
  if (args.size() < 2) {
    std::fputs("usage: zv_test_child args|cat|exit|sleep ...\n", stderr);
    return 2;
  }
  const std::string& mode = args[1];
  if (mode == "args") {
    for (size_t i = 2; i < args.size(); ++i)
      std::printf("<%s>\n", args[i].c_str());
    return 0;
  }
  if (mode == "cat") {
    int c;
    while ((c = std::getchar()) != EOF) std::putchar(c);
    return 0;
  }
  if (mode == "exit" && args.size() == 3) {
    std::fputs("out", stdout);
    std::fputs("err", stderr);
    return std::atoi(args[2].c_str());
  }
  if (mode == "sleep" && args.size() == 3) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(args[2].c_str())));
    return 0;
  }
#ifdef _WIN32
  if (mode == "clipboard" && args.size() == 3) {
    // With a window of its own, as an edit control pasting: some systems
    // let every opener without a window share the clipboard.
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    while (!OpenClipboard(owner)) Sleep(1);
    Sleep(DWORD(std::atoi(args[2].c_str())));
    CloseClipboard();
    return 0;
  }
#endif
  std::fputs("zv_test_child: bad arguments\n", stderr);
  return 2;
}
