#include "platform/win32/BodySink.h"

#include "platform/TransferRules.h"
#include "platform/win32/WriteAll.h"

namespace norq::win32 {

namespace {

// Enough for the receiver to stay a few reads ahead of the hash; few enough
// that memory stays small.
constexpr std::size_t kRingBuffers = 4;

}  // namespace

BodySink::BodySink(HANDLE file, bool hashed) : file_(file), hashed_(hashed) {
  if (hashed_) {
    ring_.emplace(kRingBuffers, ReadSizer::kLargest);
  } else {
    single_.resize(ReadSizer::kLargest);
  }
}

BodySink::~BodySink() { StopHashing(); }

bool BodySink::Start() { return !hashed_ || StartHashing(); }

std::size_t BodySink::Capacity() const { return ReadSizer::kLargest; }

std::uint8_t* BodySink::Space() {
  if (!hashed_) return single_.data();
  std::uint8_t* space = ring_->Acquire();
  if (!space) FailedHashing();
  return space;
}

bool BodySink::Add(std::size_t size) {
  const std::uint8_t* data = hashed_ ? ring_->Acquire() : single_.data();
  if (!data) return FailedHashing();
  if (!WriteAll(file_, data, size)) return Failed(L"WriteFile (landed body)");
  if (hashed_) ring_->Publish(size);
  return true;
}

bool BodySink::Restart() {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) return Failed(L"SetFilePointerEx (landed body)");
  if (!::SetEndOfFile(file_)) return Failed(L"SetEndOfFile (landed body)");
  if (!hashed_) return true;
  StopHashing();
  ring_->Reset();
  return StartHashing();
}

bool BodySink::Finish(Sha256Digest* digest) {
  if (!hashed_) return true;
  ring_->Close();
  if (::WaitForSingleObject(thread_.get(), INFINITE) != WAIT_OBJECT_0) return Failed(L"WaitForSingleObject");
  thread_.reset();
  if (hashCall_) return FailedHashing();
  if (digest) *digest = digest_;
  return true;
}

DWORD WINAPI BodySink::HashLoop(void* self) {
  BodySink& sink = *static_cast<BodySink*>(self);
  auto& ring = *sink.ring_;
  for (;;) {
    const auto taken = ring.Take();
    using Kind = decltype(taken.kind);
    if (taken.kind == Kind::Stopped) return 0;
    if (taken.kind == Kind::End) break;
    if (!sink.hash_.Add(taken.data, taken.size)) {
      sink.hashError_ = ::GetLastError();
      sink.hashCall_ = L"BCryptHashData";
      ring.Stop();
      return 0;
    }
    ring.Release();
  }
  if (!sink.hash_.Finish(sink.digest_)) {
    sink.hashError_ = ::GetLastError();
    sink.hashCall_ = L"BCryptFinishHash";
  }
  return 0;
}

bool BodySink::StartHashing() {
  hashCall_ = nullptr;
  if (!hash_.Start()) return Failed(L"BCryptCreateHash");
  thread_.reset(::CreateThread(nullptr, 0, HashLoop, this, 0, nullptr));
  if (!thread_) return Failed(L"CreateThread (hashing)");
  return true;
}

void BodySink::StopHashing() {
  if (!thread_) return;
  ring_->Stop();
  // Stopped, the thread ends after the piece in hand; nothing else can fail
  // this wait on a handle of our own.
  ::WaitForSingleObject(thread_.get(), INFINITE);
  thread_.reset();
}

bool BodySink::Failed(const wchar_t* call) {
  failedCall_ = call;
  return false;
}

bool BodySink::FailedHashing() {
  ::SetLastError(hashError_);
  return Failed(hashCall_ ? hashCall_ : L"hashing thread");
}

}  // namespace norq::win32
