#include "FakeSystem.h"

#include <algorithm>

#include "core/RuntimeError.h"

namespace norq::test {

namespace {
class FakeTarget : public TargetFile {
 public:
  FakeTarget(FakeSystem& system, std::wstring path) : system_(system), path_(std::move(path)) {}
  void Append(const std::uint8_t* data, std::size_t size) override {
    if (pending_.size() + size > system_.failTargetAfter) throw RuntimeError(ErrorNumber::DiskFull, path_);
    pending_.append(reinterpret_cast<const char*>(data), size);
  }
  void Commit() override {
    auto& file = system_.files[path_];
    file.bytes = pending_;
    file.folder = false;
  }

 private:
  FakeSystem& system_;
  std::wstring path_;
  std::string pending_;
};
}  // namespace

bool FakeSystem::FileExists(const std::wstring& path, unsigned attrMask) {
  auto it = files.find(path);
  if (it == files.end() || it->second.folder) return false;
  const unsigned hiddenOrSystem = it->second.attributes & (kAttrHidden | kAttrSystem);
  return (hiddenOrSystem & ~attrMask) == 0;
}

std::wstring FakeSystem::ReadTextLine(const std::wstring& path) {
  auto it = files.find(path);
  if (it == files.end()) throw RuntimeError(ErrorNumber::FileNotFound, path);
  const auto& text = it->second.text;
  return text.substr(0, text.find(L'\r'));
}

void FakeSystem::WriteTextLine(const std::wstring& path, const std::wstring& text) {
  if (unwritable.count(path)) throw RuntimeError(ErrorNumber::DiskNotReady, path);
  files[path].text = text + L"\r\n";
  log.push_back(L"write " + path);
}

std::unique_ptr<TargetFile> FakeSystem::CreateTarget(const std::wstring& path) {
  if (unwritable.count(path)) throw RuntimeError(ErrorNumber::PermissionDenied, path);
  return std::make_unique<FakeTarget>(*this, path);
}

std::uintptr_t FakeSystem::FindTopWindow(const std::wstring& title) {
  for (const auto& [handle, window] : windows) {
    if (window.first == title) return handle;
  }
  return 0;
}

EndProcessResult FakeSystem::EndProcess(std::uint32_t processId) {
  if (cannotOpen.count(processId)) return EndProcessResult::CannotOpen;
  log.push_back(L"end " + std::to_wstring(processId));
  if (cannotEnd.count(processId)) return EndProcessResult::TerminateFailed;
  std::erase_if(windows, [&](const auto& entry) { return entry.second.second == processId; });
  return EndProcessResult::Ended;
}

bool FakeSystem::VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) {
  if (key != trustedKey) return false;
  for (std::uint8_t byte : signature) {
    if (byte != SignatureByte(message)) return false;
  }
  return true;
}

int FakeSystem::MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) {
  if (formShown) formShownAtMsgBox = formShown();
  log.push_back(L"msgbox " + title + L" " + std::to_wstring(style) + L" " + text);
  return 1;
}

void FakeSystem::End() {
  log.push_back(L"end program");
  throw ProgramEnded{};
}

std::vector<std::uint8_t> FakeInet::GetChunk(std::int32_t size) {
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), body.size() - offset);
  std::vector<std::uint8_t> piece(body.begin() + static_cast<std::ptrdiff_t>(offset),
                                  body.begin() + static_cast<std::ptrdiff_t>(offset + n));
  offset += n;
  return piece;
}

}  // namespace norq::test
