// norq-publish: turns a folder of the ten files into the download server's
// tree and the two pointer pages, and tells scripts which files those are.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "install/Manifest.h"
#include "tools/publish/Publish.h"
#include "tools/publish/VerifyCommand.h"

namespace {

constexpr char kHelpHead[] = R"(usage: norq-publish --components DIR --base ADDRESS --serial N --out DIR
                    [--valid-days N] [--product NAME] [--replace] [--sign KEY.pem]
       norq-publish --verify ADDRESS --key PUBLIC.pem [--product NAME] [--min-serial N]
       norq-publish --list

Lays out the download server's file tree for the online installer, and
checks that a deployed server serves it as signed.

  --components DIR  a folder holding exactly the ten files the installer
                    installs, under their own names:
)";

constexpr char kHelpTail[] = R"(  --base ADDRESS    the address the files will be served from, as the
                    installer will join it with their paths, for example
                    http://dl.example.com:8080 (16 to 49 characters, no "|"
                    and no blank; a trailing "/" gives "//" in every
                    request, which nginx accepts). The index names it: the
                    installer uses the tree only from this address
  --serial N        this publication's serial number, 1 or more: raise it with
                    every publication (a date and time such as 202612071530
                    does that by itself). With --replace it must be above the
                    serial of the tree it replaces. Installers built with
                    -DNORQ_MIN_INDEX_SERIAL=M refuse a tree whose serial is
                    below M
  --valid-days N    the index expires N days from now (default 365, at most
                    3650); installers refuse an expired tree, so publish again
                    before then
  --product NAME    the product the installers were built for (default and
                    build setting NORQ_PRODUCT_NAME: ")" NORQ_PRODUCT_NAME R"(")
  --out DIR         the folder to write; it must be empty or absent
  --replace         replace DIR if it holds an earlier tree that norq-publish
                    laid out, and nothing else
  --sign KEY.pem    sign the tree's index with the vendor's private key
                    (runs openssl dgst -sha256 -sign KEY.pem); without it,
                    sign norq/Soft/norq_index.txt yourself, see docs/deploy.md
  --verify ADDRESS  check the server at ADDRESS as installers will use it:
                    the index verifies under --key (the vendor's public
                    key) and names --product, ADDRESS, a serial of at least
                    --min-serial N (default: this build's
                    NORQ_MIN_INDEX_SERIAL; give the serial just published to
                    see that no cache still serves an older tree) and an
                    expiry still ahead; every file comes with status 200,
                    uncompressed, with its Content-Length, and matches its
                    size and SHA-256; the largest file answers a request for
                    its second half with 206 and the right Content-Range; no
                    redirect goes from https to plain http. Prints one line
                    per problem and exits with 1, or one line of summary and
                    0 (the Linux build only: it fetches with libcurl)
  --key PUBLIC.pem  with --verify: the public half of the key that signed
                    the index (openssl ec -in KEY.pem -pubout)
  --list            print the ten files, one line each in the installer's
                    order, three fields separated by a tab: the file name, its
                    server path (appended to ADDRESS) and where it is
                    installed ("system": the Windows system folder;
                    "installer": beside the installer)

The tree holds every file under the path and ".txt" name the installer asks
for (Soft/System/comcat.txt, ..., norq/Soft/norq_setup.txt), byte for byte,
the tree's index norq/Soft/norq_index.txt (the product, ADDRESS, the serial,
the expiry, and the SHA-256 and size of each file, which an installer built
with the vendor's key checks against its signature norq/Soft/norq_index.sig),
and the two pointer pages quindle_www.html and brisel_www.html whose body is
ADDRESS. Serve the tree at ADDRESS, and each pointer page at the root of its
pointer host (the hosts the installer was built with).

Nothing is written unless every check passes; the tree appears in DIR only
when it is complete. Only folders made in the same run are removed, besides
the earlier tree that --replace replaces. openssl is started without a shell.
)";

void PrintHelp(std::FILE* to) {
  std::fputs(kHelpHead, to);
  std::string names = "                     ";
  for (const auto& [name, path] : norq::publish::TreeLayout()) {
    if (names.size() + 1 + name.size() > 76) {
      std::fprintf(to, "%s\n", names.c_str());
      names = "                     ";
    }
    names += " " + name;
  }
  std::fprintf(to, "%s\n%s", names.c_str(), kHelpTail);
}

void PrintList() {
  const auto layout = norq::publish::TreeLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const bool system = norq::kManifest[i].kind == norq::EntryKind::Component;
    std::printf("%s\t/%s\t%s\n", layout[i].first.c_str(), layout[i].second.c_str(), system ? "system" : "installer");
  }
}

// A plain decimal number, nothing else.
std::optional<std::uint64_t> Number(const std::string& text) { return norq::DecimalDigits(text, 18); }

}  // namespace

int main(int argc, char** argv) {
  norq::publish::Request request;
  request.now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  bool haveComponents = false, haveBase = false, haveOut = false, haveSerial = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      PrintHelp(stdout);
      return 0;
    } else if (arg == "--verify") {
      return norq::publish::VerifyCommand(argc, argv);
    } else if (arg == "--list") {
      PrintList();
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
    } else if (arg == "--serial" && hasValue && Number(argv[i + 1])) {
      request.serial = *Number(argv[++i]);
      haveSerial = true;
    } else if (arg == "--valid-days" && hasValue && Number(argv[i + 1])) {
      request.validDays = static_cast<int>(std::min<std::uint64_t>(*Number(argv[++i]), norq::publish::kMaxValidDays + 1));
    } else if (arg == "--product" && hasValue) {
      request.product = argv[++i];
    } else if (arg == "--replace") {
      request.replace = true;
    } else if (arg == "--sign" && hasValue) {
      request.signKey = argv[++i];
    } else {
      std::fprintf(stderr, "norq-publish: unknown or incomplete argument \"%s\"\n\n", arg.c_str());
      PrintHelp(stderr);
      return 2;
    }
  }
  if (!haveComponents || !haveBase || !haveOut || !haveSerial) {
    std::fputs("norq-publish: --components, --base, --serial and --out are all needed\n\n", stderr);
    PrintHelp(stderr);
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
