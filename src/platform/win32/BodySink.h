#pragma once
// Where a landed body's bytes go as they arrive: its file, and SHA-256 when
// the body has a signed digest to meet. The receiving thread reads into a
// free buffer of a small ring and writes it; a thread of its own hashes the
// buffer beside it and hands it back, so a checked body costs the slower of
// receiving and hashing, not their sum.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/BufferRing.h"
#include "platform/win32/Cng.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SrwMonitor.h"
#include "trust/TreeIndex.h"

namespace norq::win32 {

// Every method that returns false leaves GetLastError() set and names the
// failed call in FailedCall(), for InetRequest::Fail.
class BodySink {
 public:
  // `file` stays the caller's. Without `hashed` no thread is started.
  BodySink(HANDLE file, bool hashed);
  // A body abandoned half-way (a failure, a cancel) stops the hashing
  // thread and waits for it.
  ~BodySink();
  BodySink(const BodySink&) = delete;
  BodySink& operator=(const BodySink&) = delete;

  bool Start();
  // Where the next piece is read to, Capacity() bytes long; null when the
  // hashing failed. Waits while every buffer is still being hashed.
  std::uint8_t* Space();
  std::size_t Capacity() const;
  // The first `size` bytes of Space(): written to the file, then hashed.
  bool Add(std::size_t size);
  // For a body that starts over: the file emptied, the hash begun afresh.
  bool Restart();
  // Every piece hashed; `digest`, when given, gets the body's SHA-256.
  bool Finish(Sha256Digest* digest);

  const wchar_t* FailedCall() const { return failedCall_; }

 private:
  static DWORD WINAPI HashLoop(void* self);
  bool StartHashing();
  void StopHashing();
  bool Failed(const wchar_t* call);
  bool FailedHashing();

  HANDLE file_;
  bool hashed_;
  std::vector<std::uint8_t> single_;  // the one buffer of an unhashed body
  std::optional<BufferRing<SrwMonitor>> ring_;  // a hashed body's
  Sha256 hash_;
  UniqueHandle thread_;
  // The hashing thread's, read by the receiving one after Space() found the
  // ring stopped, or after the thread ended.
  const wchar_t* hashCall_ = nullptr;
  DWORD hashError_ = 0;
  Sha256Digest digest_{};
  const wchar_t* failedCall_ = L"";
};

}  // namespace norq::win32
