#include <csignal>
#include <iostream>

#include "cli/converter.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "files/file_io_windows.h"
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A progress line is drawn only for a person watching.
bool StderrIsTerminal() {
#ifdef _WIN32
  return ::_isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

int Run(const std::vector<std::string>& args) {
#ifdef SIGXFSZ
  // A file-size limit then fails the write (error 61, target kept) instead
  // of ending the process with a half-written temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef __GLIBC__
  // Large blocks come from the heap and stay there when freed, so that the
  // text written reuses the memory of the text read: memory the process
  // touches for the first time costs more than the conversion of it.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the most it takes
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
  return mervane::RunConverter(args, std::cout, std::cerr, StderrIsTerminal());
}

}  // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16; inside, paths are UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(mervane::windows::Narrow(argv[i]));
  // The messages name files in UTF-8; a console shows them right only in
  // that code page. The console's own one is given back afterwards.
  const UINT code_page = ::GetConsoleOutputCP();
  if (code_page != 0) ::SetConsoleOutputCP(CP_UTF8);
  const int status = Run(args);
  std::cout.flush();
  std::cerr.flush();
  if (code_page != 0) ::SetConsoleOutputCP(code_page);
  return status;
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
