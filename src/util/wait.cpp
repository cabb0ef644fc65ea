#include "util/wait.h"

int WaitSlice(int totalMs, int sliceMs) {
  if (sliceMs > 0) return sliceMs;
  const int slice = totalMs / 10;
  return slice < 1 ? 1 : slice > 25 ? 25 : slice;
}

void RunWait(int totalMs, int sliceMs, const std::function<int64_t()>& now,
             const std::function<void(int)>& yield) {
  const int slice = WaitSlice(totalMs, sliceMs);
  const int64_t start = now();
  do {
    yield(slice);
  } while (now() - start < totalMs);
}
