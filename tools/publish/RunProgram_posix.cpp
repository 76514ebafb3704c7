#include "tools/publish/RunProgram.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace norq::publish {

int RunProgram(const std::vector<std::filesystem::path>& argv) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  if (const int error = ::posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ); error != 0) {
    throw std::runtime_error("cannot start " + argv[0].string() + ": " + std::strerror(error));
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for " + argv[0].string() + ": " + std::strerror(errno));
  }
  if (!WIFEXITED(status)) throw std::runtime_error(argv[0].string() + " did not end normally");
  return WEXITSTATUS(status);
}

}  // namespace norq::publish
