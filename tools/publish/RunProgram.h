#pragma once
// Starts the tools the publisher relies on (openssl) with an argument vector:
// no shell stands between, so a path is one argument whatever it holds.
#include <filesystem>
#include <string>
#include <vector>

namespace norq::publish {

// Runs argv[0], found through PATH, with exactly these arguments, and waits
// for it. Returns its exit code; throws std::runtime_error when it cannot be
// started or does not end normally.
int RunProgram(const std::vector<std::filesystem::path>& argv);

// The command line that Windows programs split back into exactly `argv`
// (the rules of CommandLineToArgvW and the C runtime): what CreateProcessW needs.
std::wstring WindowsCommandLine(const std::vector<std::wstring>& argv);

}  // namespace norq::publish
