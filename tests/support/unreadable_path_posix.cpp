// A path that exists but cannot be opened as a file: a bound local socket
// (permissions would not stop the tests, which may run as root).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

UnreadablePath::UnreadablePath() : Path(TempPath("unreadable_socket")) {
  unlink(Path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, Path.c_str(), sizeof address.sun_path - 1);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  Socket = fd;
}

UnreadablePath::~UnreadablePath() {
  close(Socket);
  unlink(Path.c_str());
}
