#include <csignal>
#include <iostream>

#include <unistd.h>

#include "cli/converter.h"

int main(int argc, char** argv) {
  // A file-size limit then fails the write (error 61, target kept) instead
  // of ending the process with a half-written temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  return mervane::RunConverter(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                               ::isatty(STDERR_FILENO) != 0);
}
