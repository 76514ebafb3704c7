#pragma once
// A fixed ring of equal buffers handed from one producing thread to one
// consuming thread and back, in order, so that the consumer works on a
// buffer while the producer fills the next: memory stays at `count` buffers
// whatever passes through.
//
// `Monitor` is the platform's lock with one condition: Lock(), Unlock(),
// Wait() (unlocks, sleeps until woken, locks again; it may wake early) and
// WakeAll(). The rules here are the same on every platform.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace norq {

template <typename Monitor>
class BufferRing {
 public:
  // What the consumer is handed: a full buffer, or why there is none.
  struct Taken {
    enum class Kind { Data, End, Stopped };
    Kind kind = Kind::Stopped;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
  };

  BufferRing(std::size_t count, std::size_t capacity)
      : buffers_(count, std::vector<std::uint8_t>(capacity)), sizes_(count, 0) {}
  BufferRing(const BufferRing&) = delete;
  BufferRing& operator=(const BufferRing&) = delete;

  std::size_t Capacity() const { return buffers_.front().size(); }

  // The producer's side. A free buffer of Capacity() bytes, waiting until
  // the consumer returns one; null once stopped. Asked again before
  // Publish, it is the same buffer.
  std::uint8_t* Acquire() {
    Held held(monitor_);
    while (!stopped_ && published_ - released_ == buffers_.size()) monitor_.Wait();
    return stopped_ ? nullptr : buffers_[published_ % buffers_.size()].data();
  }
  // The acquired buffer's first `size` bytes go to the consumer.
  void Publish(std::size_t size) {
    Held held(monitor_);
    sizes_[published_ % buffers_.size()] = size;
    ++published_;
    monitor_.WakeAll();
  }
  // Nothing more comes: the consumer is handed what was published, then End.
  void Close() {
    Held held(monitor_);
    closed_ = true;
    monitor_.WakeAll();
  }

  // The consumer's side. The oldest published buffer not yet taken, waiting
  // for one; End once closed and all taken; Stopped at once after Stop().
  // The previous buffer taken must have been released.
  Taken Take() {
    Held held(monitor_);
    while (!stopped_ && taken_ == published_ && !closed_) monitor_.Wait();
    if (stopped_) return {};
    if (taken_ == published_) return {Taken::Kind::End, nullptr, 0};
    const std::size_t slot = taken_++ % buffers_.size();
    return {Taken::Kind::Data, buffers_[slot].data(), sizes_[slot]};
  }
  // The taken buffer is done with and free for the producer again.
  void Release() {
    Held held(monitor_);
    ++released_;
    monitor_.WakeAll();
  }

  // Either side: a failure, or a body abandoned. Every wait on both sides
  // ends at once, so neither thread is left waiting for the other.
  void Stop() {
    Held held(monitor_);
    stopped_ = true;
    monitor_.WakeAll();
  }

  // Empty and open again, for a next pass; only while no consumer runs.
  void Reset() {
    Held held(monitor_);
    published_ = taken_ = released_ = 0;
    closed_ = stopped_ = false;
  }

 private:
  class Held {
   public:
    explicit Held(Monitor& monitor) : monitor_(monitor) { monitor_.Lock(); }
    ~Held() { monitor_.Unlock(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    Monitor& monitor_;
  };

  Monitor monitor_;
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::vector<std::size_t> sizes_;
  // Counts since the start: the slot of the n-th buffer is n % count.
  std::uint64_t published_ = 0;
  std::uint64_t taken_ = 0;
  std::uint64_t released_ = 0;
  bool closed_ = false;
  bool stopped_ = false;
};

}  // namespace norq
