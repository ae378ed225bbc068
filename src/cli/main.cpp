#include <iostream>

#include "cli/converter.h"

int main(int argc, char** argv) {
  return mervane::RunConverter(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
