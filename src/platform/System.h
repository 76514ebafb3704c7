#pragma once
// The installer's view of the operating system. Event handlers reach files,
// processes, folders and message boxes only through this seam, so that they
// can be driven by a fake in unit tests; platform/win32 holds the real one.
// Every operation that fails throws norq::RuntimeError.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "trust/BodyCheck.h"
#include "trust/Signature.h"

namespace norq {

// Which files besides plain ones the existence test finds. Folders never count.
enum AttrMask : unsigned {
  kAttrNormal = 0,
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
};

// Message box style bits used by the installer.
enum MsgBoxStyle : unsigned {
  kMbCritical = 16,
};

enum class EndProcessResult { Ended, CannotOpen, TerminateFailed };

// Whether a checked program was started, and if not, why (for the support log).
struct StartOutcome {
  bool started = false;
  std::wstring reason;
};

class System {
 public:
  virtual ~System() = default;

  // Files. Paths are used exactly as given.
  virtual bool FileExists(const std::wstring& path, unsigned attrMask) = 0;
  // First line of a text file in the ANSI code page (see FirstLine in core/Text.h);
  // nothing when the file holds no byte at all, where a line cannot even begin.
  virtual std::optional<std::wstring> ReadTextLine(const std::wstring& path) = 0;
  // Creates or empties the file and writes text in the ANSI code page, then CR LF.
  // A link or a file with more than one name is not written (see ClassifyMarker
  // in platform/SystemRules.h): that throws, and the file stays as it was.
  virtual void WriteTextLine(const std::wstring& path, const std::wstring& text) = 0;

  // Processes.
  // Starts `program`, a full path (nothing is searched for), with
  // `commandLine` in a hidden window and current folder `folder`, and does
  // not wait for it.
  virtual void StartHidden(const std::wstring& program, const std::wstring& commandLine,
                           const std::wstring& folder) = 0;
  // Starts the program file at `path` (a full path), shown normally and not
  // waited for, if its bytes pass `check`. The file is held from before it is
  // read for the check until its process has started, so that no other
  // program can write, rename or delete it in between: what runs is what was
  // checked, however the file got there.
  virtual StartOutcome StartChecked(const std::wstring& path, const BodyCheck& check) = 0;
  // A top-level window with exactly this title, or 0.
  virtual std::uintptr_t FindTopWindow(const std::wstring& title) = 0;
  virtual std::uint32_t WindowProcessId(std::uintptr_t window) = 0;
  virtual EndProcessResult EndProcess(std::uint32_t processId) = 0;

  // Folders and the program's own start.
  // The Windows system folder, where the components go; the empty text when
  // the system names none.
  virtual std::wstring SystemFolder() = 0;
  // The folder of the running program: no trailing backslash unless a drive root.
  virtual std::wstring AppPath() = 0;
  // The command-line text after the program's name and the blanks after it.
  virtual std::wstring CommandLine() = 0;

  // Whether `signature` is the key's ECDSA signature of the SHA-256 of `message`,
  // checked with the system's own cryptography.
  virtual bool VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) = 0;

  // This computer's clock: seconds since 1970-01-01 00:00:00 UTC.
  virtual std::int64_t UtcNow() = 0;

  // Long loops on the window's thread call this often: it answers what other
  // programs send the window (cheaply, at most every few milliseconds) and
  // runs no event of the installer's own.
  virtual void KeepAnswering() = 0;

  // One line for the support log, which tells whoever helps the user why a
  // run went as it did. Never fails: a line that cannot be written is lost.
  virtual void Log(const std::wstring& line) noexcept = 0;

  // User interaction and the end of the program.
  virtual int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) = 0;
  // Ends the process at once; open files are closed, started processes go on.
  [[noreturn]] virtual void End() = 0;
};

}  // namespace norq
