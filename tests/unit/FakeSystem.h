#pragma once
// Fakes of the two seams for driving the window's handlers on Linux. Files
// hold wide text as written; processes and windows are plain tables.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

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
  bool FileExists(const std::wstring& path, unsigned attrMask) override;
  std::wstring ReadTextLine(const std::wstring& path) override;
  void WriteTextLine(const std::wstring& path, const std::wstring& text) override;
  std::unique_ptr<TargetFile> CreateTarget(const std::wstring& path) override;
  void StartHidden(const std::wstring& commandLine) override { log.push_back(L"start " + commandLine); }
  std::int32_t ShellOpen(const std::wstring& path) override {
    log.push_back(L"open " + path);
    return 42;
  }
  std::uintptr_t FindTopWindow(const std::wstring& title) override;
  std::uint32_t WindowProcessId(std::uintptr_t window) override { return windows.at(window).second; }
  EndProcessResult EndProcess(std::uint32_t processId) override;
  std::wstring GetSpecialFolder(int csidl) override { return csidl == 37 ? systemDir : L""; }
  std::wstring AppPath() override { return appPath; }
  std::wstring CommandLine() override { return commandLine; }
  // Verifies when every byte of the signature is SignatureByte(message) and
  // the key is `trustedKey`: enough to tell a signed index from others.
  static std::uint8_t SignatureByte(std::string_view message) { return static_cast<std::uint8_t>(message.size() % 100 + 1); }
  bool VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) override;
  void KeepAnswering() override { ++keepAnswering; }
  void Log(const std::wstring& line) noexcept override { supportLog.push_back(line); }
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override;
  [[noreturn]] void End() override;

  std::map<std::wstring, FakeFile> files;
  std::set<std::wstring> unwritable;       // writes there fail like a missing drive
  std::size_t failTargetAfter = SIZE_MAX;  // bytes a target accepts before a write fails
  std::map<std::uintptr_t, std::pair<std::wstring, std::uint32_t>> windows;  // handle -> title, process
  std::set<std::uint32_t> cannotOpen, cannotEnd;
  std::wstring systemDir = L"C:\\Windows\\system32";
  std::wstring appPath = L"C:\\pkg";
  std::wstring commandLine;
  bool formShownAtMsgBox = false;
  std::function<bool()> formShown;  // set by the test to report the window's state
  std::vector<std::wstring> log;    // messages, commands, launches, in order
  P256PublicKey trustedKey{1};
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
  void Execute(const std::wstring& url, const std::wstring& operation) override {
    executed.push_back(url + L" " + operation);
  }
  std::wstring GetHeader(const std::wstring&) override { return contentLength; }
  std::vector<std::uint8_t> GetChunk(std::int32_t size) override;
  std::optional<std::string> FetchBytes(const std::wstring& url, std::size_t cap) override {
    requested.push_back(url);
    auto it = files.find(url);
    if (it == files.end() || it->second.size() > cap) return std::nullopt;
    return it->second;
  }
  void ExpectBody(BodyCheck check) override { expected.push_back(std::move(check)); }
  TransferFacts LastTransfer() const override { return facts; }

  // Sets the body that the next completion reads.
  void Respond(std::string newBody, std::wstring declared) {
    body = std::move(newBody);
    contentLength = std::move(declared);
    offset = 0;
  }

  std::map<std::wstring, std::wstring> pages;
  std::map<std::wstring, std::string> files;  // FetchBytes answers
  std::vector<BodyCheck> expected;
  std::vector<std::wstring> requested, executed;
  std::string body;
  std::wstring contentLength;
  std::size_t offset = 0;
  TransferFacts facts;
};

}  // namespace norq::test
