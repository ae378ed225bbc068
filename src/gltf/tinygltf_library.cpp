// Debian's tinygltf, compiled once for the whole program with the options
// that CMakeLists.txt sets for every file that includes it. Without its own
// file access it still holds file writers that Mervane never calls; they
// need the streams it then leaves out.
#include <cstdio>
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
