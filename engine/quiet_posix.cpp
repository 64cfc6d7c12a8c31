#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "Devices.h"

namespace quav {

// File descriptor 2 points at /dev/null while fn runs.
int WithoutStderr(const std::function<int()>& fn) {
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) ::dup2(null, 2);
  if (null >= 0) ::close(null);
  struct Restore {
    int saved;
    ~Restore() {
      std::fflush(stderr);
      if (saved >= 0) {
        ::dup2(saved, 2);
        ::close(saved);
      }
    }
  } restore{saved};
  return fn();
}

}  // namespace quav
