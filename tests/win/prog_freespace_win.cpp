// Prints what the stub would learn about the drive of a path: its free
// space and its cluster size (the space table entry depends on it).
#include <cstdio>

#include "env/files.h"
#include "package/reader.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: freespace PATH\n");
    return 2;
  }
  std::printf("free=%.0f\n", FreeSpace(argv[1]));
  std::printf("cluster=%u\n", unsigned(ClusterSize(argv[1])));
  return 0;
}
