#pragma once
// Fakes of the seams for driving the window's handlers on Linux.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/RuntimeError.h"
#include "platform/Inet.h"
#include "platform/System.h"

namespace norq::test {

// Thrown by FakeSystem::End so that a test sees where the program ended.
struct ProgramEnded {};

struct FakeFile {
  std::wstring text;      // text files: the characters written, CR LF included
  std::string bytes;      // targets: the raw bytes committed
  unsigned attributes = 0;
  bool folder = false;
};

class FakeSystem : public System {
 public:
  bool FileExists(const std::wstring& path, unsigned attrMask) override {
    auto it = files.find(path);
    if (it == files.end() || it->second.folder) return false;
    return (it->second.attributes & (kAttrHidden | kAttrSystem) & ~attrMask) == 0;
  }
  std::optional<std::wstring> ReadTextLine(const std::wstring& path) override {
    auto it = files.find(path);
    if (it == files.end()) throw RuntimeError(ErrorNumber::FileNotFound, path);
    if (it->second.text.empty()) return std::nullopt;
    return it->second.text.substr(0, it->second.text.find(L'\r'));
  }
  void WriteTextLine(const std::wstring& path, const std::wstring& text) override {
    if (unwritable.count(path)) throw RuntimeError(ErrorNumber::DiskNotReady, path);
    files[path].text = text + L"\r\n";
    log.push_back(L"write " + path);
  }
  void StartHidden(const std::wstring& program, const std::wstring& commandLine,
                   const std::wstring& folder) override {
    log.push_back(L"start " + commandLine);
    hiddenStarts.push_back(program + L" in " + folder);
  }
  // Passes when the file's committed bytes pass the check (a fake digest:
  // the pinned line's digest must be all zero); then logs "open".
  StartOutcome StartChecked(const std::wstring& path, const BodyCheck& check) override {
    if (beforeHold) beforeHold();
    const auto it = files.find(path);
    if (it == files.end()) return {false, L"no file"};
    const std::string& bytes = it->second.bytes;
    const Sha256Digest digest{};
    if (!BodyPasses(check, bytes.size(), bytes.substr(0, 2), check.pinned ? &digest : nullptr)) {
      return {false, L"does not pass"};
    }
    log.push_back(L"open " + path);
    return {true, {}};
  }
  std::uintptr_t FindTopWindow(const std::wstring& title) override {
    const auto it = std::find_if(windows.begin(), windows.end(), [&](const auto& w) { return w.second.first == title; });
    return it == windows.end() ? 0 : it->first;
  }
  std::uint32_t WindowProcessId(std::uintptr_t window) override { return windows.at(window).second; }
  EndProcessResult EndProcess(std::uint32_t processId) override {
    if (cannotOpen.count(processId)) return EndProcessResult::CannotOpen;
    log.push_back(L"end " + std::to_wstring(processId));
    if (cannotEnd.count(processId)) return EndProcessResult::TerminateFailed;
    std::erase_if(windows, [&](const auto& entry) { return entry.second.second == processId; });
    return EndProcessResult::Ended;
  }
  std::wstring SystemFolder() override { return L"C:\\Windows\\system32"; }
  std::wstring AppPath() override { return L"C:\\pkg"; }
  std::wstring CommandLine() override { return commandLine; }
  // Verifies when every byte of the signature is SignatureByte(message) and
  // the key is `trustedKey`: enough to tell a signed index from others.
  static std::uint8_t SignatureByte(std::string_view message) { return static_cast<std::uint8_t>(message.size() % 100 + 1); }
  bool VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) override {
    return key == trustedKey && std::all_of(signature.begin(), signature.end(),
                                            [&](std::uint8_t byte) { return byte == SignatureByte(message); });
  }
  std::int64_t UtcNow() override { return now; }
  void KeepAnswering() override { ++keepAnswering; }
  void Log(const std::wstring& line) noexcept override { supportLog.push_back(line); }
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override {
    if (windowShown) windowShownAtMsgBox = windowShown();
    log.push_back(L"msgbox " + title + L" " + std::to_wstring(style) + L" " + text);
    return 1;
  }
  [[noreturn]] void End() override {
    log.push_back(L"end program");
    throw ProgramEnded{};
  }

  std::map<std::wstring, FakeFile> files;
  std::set<std::wstring> unwritable;  // writes there fail like a missing drive
  std::map<std::uintptr_t, std::pair<std::wstring, std::uint32_t>> windows;  // handle -> title, process
  std::set<std::uint32_t> cannotOpen, cannotEnd;
  std::wstring commandLine;
  bool windowShownAtMsgBox = false;
  std::function<bool()> windowShown;  // set by the test to report the window's state
  std::function<void()> beforeHold;   // what happens to files before a checked start holds its file
  std::vector<std::wstring> log;    // messages, commands, launches, in order
  std::vector<std::wstring> hiddenStarts;  // "program in folder" of each hidden start
  P256PublicKey trustedKey{1};
  std::int64_t now = 1'796'688'000;  // 2026-12-08T00:00:00Z
  std::vector<std::wstring> supportLog;
  int keepAnswering = 0;
};

class FakeInet : public Inet {
 public:
  std::wstring OpenURL(const std::wstring& url) override {
    requested.push_back(url);
    auto it = pages.find(url);
    return it == pages.end() ? L"" : it->second;
  }
  void Execute(const std::wstring& url, const std::wstring& operation, const std::wstring& target) override {
    executed.push_back(url + L" " + operation);
    targets.push_back(target);
  }
  std::wstring GetHeader(const std::wstring&) override { return contentLength; }
  std::vector<std::uint8_t> GetChunk(std::int32_t size) override {
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), body.size() - offset);
    offset += n;
    return {body.begin() + static_cast<std::ptrdiff_t>(offset - n), body.begin() + static_cast<std::ptrdiff_t>(offset)};
  }
  // The body as it landed; the walk through GetChunk does not change it.
  void ReplaceTarget() override {
    if (!system || targets.empty()) throw RuntimeError(ErrorNumber::InvalidCall);
    if (system->unwritable.count(targets.back())) throw RuntimeError(ErrorNumber::PermissionDenied, targets.back());
    FakeFile& file = system->files[targets.back()];
    file.bytes = body;
    file.folder = false;
  }
  std::optional<std::string> FetchBytes(const std::wstring& url, std::size_t cap) override {
    requested.push_back(url);
    auto it = files.find(url);
    if (it == files.end() || it->second.size() > cap) return std::nullopt;
    return it->second;
  }
  void ExpectBody(BodyCheck check) override { expected.push_back(std::move(check)); }
  TransferFacts LastTransfer() const override { return facts; }

  void Respond(std::string newBody, std::wstring declared) {
    body = std::move(newBody);
    contentLength = std::move(declared);
    offset = 0;
  }

  std::map<std::wstring, std::wstring> pages;
  std::map<std::wstring, std::string> files;  // FetchBytes answers
  std::vector<BodyCheck> expected;
  FakeSystem* system = nullptr;  // where ReplaceTarget puts the body
  std::vector<std::wstring> requested, executed, targets;
  std::string body;
  std::wstring contentLength;
  std::size_t offset = 0;
  TransferFacts facts;
};

}  // namespace norq::test
