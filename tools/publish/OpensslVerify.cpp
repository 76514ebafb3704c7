#include "tools/publish/OpensslVerify.h"

#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tools/publish/RunProgram.h"

namespace fs = std::filesystem;

namespace norq::publish {

namespace {

// A new folder, made by this call, removed with everything in it when done.
class OwnFolder {
 public:
  OwnFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path folder = fs::temp_directory_path() / ("norq-verify-" + std::to_string(random()));
      if (fs::create_directory(folder)) path_ = folder;
    }
    if (path_.empty()) throw std::runtime_error("cannot make a folder of its own in " + fs::temp_directory_path().string());
  }
  ~OwnFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  OwnFolder(const OwnFolder&) = delete;
  OwnFolder& operator=(const OwnFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void Write(const fs::path& to, std::string_view bytes) {
  std::ofstream file(to, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + to.string());
}

}  // namespace

SignatureCheck OpensslSignatureCheck(const fs::path& publicKey) {
  return [key = fs::absolute(publicKey)](std::string_view index, std::string_view signature) {
    const OwnFolder folder;
    const fs::path indexCopy = folder.path() / "index.txt", signatureCopy = folder.path() / "index.sig";
    Write(indexCopy, index);
    Write(signatureCopy, signature);
    // openssl's verdict ("Verified OK") goes to a file of ours, not into the report; its exit code says it.
    return RunProgram({"openssl", "dgst", "-sha256", "-verify", key, "-signature", signatureCopy, "-out",
                       folder.path() / "verdict.txt", indexCopy}) == 0;
  };
}

}  // namespace norq::publish
