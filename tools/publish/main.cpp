// norq-publish: turns a folder of the ten files into the download server's
// tree and the two pointer pages.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "tools/publish/Publish.h"

namespace {

constexpr char kHelp[] = R"(usage: norq-publish --components DIR --base ADDRESS --out DIR [--replace] [--sign KEY.pem]

Lays out the download server's file tree for the online installer.

  --components DIR  a folder holding exactly the ten files the installer
                    installs, under their own names:
                      comcat.dll MCI32.OCX stdole2.tlb shdocvw.dll shdocvw.oca
                      msxml3.dll MSINET.OCX COMDLG32.OCX MSADODC.OCX
                      norq_setup.exe
  --base ADDRESS    the address the files will be served from, as the
                    installer will join it with their paths, for example
                    http://dl.example.com:8080 (16 to 49 characters, no "|";
                    a trailing "/" gives "//" in every request, which nginx
                    accepts)
  --out DIR         the folder to write; it must be empty or absent
  --replace         replace DIR if it holds an earlier tree
  --sign KEY.pem    sign the tree's index with the vendor's private key
                    (runs openssl dgst -sha256 -sign KEY.pem); without it,
                    sign norq/Soft/norq_index.txt yourself, see docs/deploy.md

The tree holds every file under the path and ".txt" name the installer asks
for (Soft/System/comcat.txt, ..., norq/Soft/norq_setup.txt), byte for byte,
the tree's index norq/Soft/norq_index.txt (SHA-256 and size of each file,
which an installer built with the vendor's key checks against its signature
norq/Soft/norq_index.sig), and the two pointer pages quindle_www.html and
brisel_www.html whose body is ADDRESS. Serve the tree at ADDRESS, and each pointer page at the root of its
pointer host (the hosts the installer was built with).

Nothing is written unless every check passes; the tree appears in DIR only
when it is complete.
)";

}  // namespace

int main(int argc, char** argv) {
  norq::publish::Request request;
  bool haveComponents = false, haveBase = false, haveOut = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--components" && hasValue) {
      request.components = argv[++i];
      haveComponents = true;
    } else if (arg == "--base" && hasValue) {
      request.baseAddress = argv[++i];
      haveBase = true;
    } else if (arg == "--out" && hasValue) {
      request.out = argv[++i];
      haveOut = true;
    } else if (arg == "--replace") {
      request.replace = true;
    } else if (arg == "--sign" && hasValue) {
      request.signKey = argv[++i];
    } else {
      std::fprintf(stderr, "norq-publish: unknown or incomplete argument \"%s\"\n\n%s", arg.c_str(), kHelp);
      return 2;
    }
  }
  if (!haveComponents || !haveBase || !haveOut) {
    std::fprintf(stderr, "norq-publish: --components, --base and --out are all needed\n\n%s", kHelp);
    return 2;
  }
  const auto problems = norq::publish::Check(request);
  if (!problems.empty()) {
    for (const auto& problem : problems) std::fprintf(stderr, "norq-publish: %s\n", problem.c_str());
    std::fputs("norq-publish: nothing was written\n", stderr);
    return 1;
  }
  try {
    for (const auto& path : norq::publish::Publish(request)) std::printf("%s\n", path.c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "norq-publish: %s; nothing was written\n", error.what());
    return 1;
  }
  return 0;
}
