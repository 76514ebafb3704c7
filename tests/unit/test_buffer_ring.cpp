// The ring of buffers between the thread that receives a body and the thread
// that hashes it, with real threads and the standard library's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/BufferRing.h"

namespace {

class StdMonitor {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  void Wait() {
    std::unique_lock<std::mutex> held(mutex_, std::adopt_lock);
    condition_.wait(held);
    held.release();
  }
  void WakeAll() { condition_.notify_all(); }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
};

using Ring = norq::BufferRing<StdMonitor>;
using Kind = Ring::Taken::Kind;
using namespace std::chrono_literals;

// A piece's bytes say which piece it is, so that a buffer overwritten while
// the consumer still holds it, or handed over out of order, shows.
std::uint8_t ByteOf(std::size_t piece, std::size_t at) { return static_cast<std::uint8_t>(piece * 7 + at); }

// Still waiting after a moment: long enough for a wrong rule to let it through.
template <typename T>
bool StillWaiting(std::future<T>& call) {
  return call.wait_for(50ms) == std::future_status::timeout;
}

TEST(BufferRing, HandsEveryPieceOverInOrderWithoutTouchingOneInUse) {
  constexpr std::size_t kPieces = 2000, kCapacity = 64;
  Ring ring(3, kCapacity);
  std::set<const std::uint8_t*> seen;
  std::vector<std::size_t> sizes;
  bool intact = true;
  std::thread consumer([&] {
    for (;;) {
      const auto taken = ring.Take();
      if (taken.kind != Kind::Data) {
        EXPECT_EQ(taken.kind, Kind::End);
        return;
      }
      const std::size_t piece = sizes.size();
      sizes.push_back(taken.size);
      seen.insert(taken.data);
      if (piece % 97 == 0) std::this_thread::sleep_for(1ms);  // the producer runs ahead and must wait
      for (std::size_t at = 0; at < taken.size; ++at) intact = intact && taken.data[at] == ByteOf(piece, at);
      ring.Release();
    }
  });
  for (std::size_t piece = 0; piece < kPieces; ++piece) {
    std::uint8_t* space = ring.Acquire();
    if (!space) break;  // stopped: the count below tells
    const std::size_t size = 1 + piece % kCapacity;
    for (std::size_t at = 0; at < size; ++at) space[at] = ByteOf(piece, at);
    ring.Publish(size);
  }
  ring.Close();
  consumer.join();
  ASSERT_EQ(sizes.size(), kPieces);
  for (std::size_t piece = 0; piece < kPieces; ++piece) EXPECT_EQ(sizes[piece], 1 + piece % kCapacity);
  EXPECT_TRUE(intact);
  EXPECT_EQ(seen.size(), 3u);  // memory stays at the ring's buffers
  EXPECT_EQ(ring.Take().kind, Kind::End);  // and stays ended
}

TEST(BufferRing, ProducerWaitsForAFreeBufferAndConsumerForAFullOne) {
  Ring ring(2, 8);
  auto early = std::async(std::launch::async, [&] { return ring.Take(); });
  EXPECT_TRUE(StillWaiting(early));  // nothing published yet
  std::uint8_t* first = ring.Acquire();
  EXPECT_EQ(ring.Acquire(), first);  // asked again before publishing: the same buffer
  first[0] = 42;
  ring.Publish(1);
  const auto taken = early.get();
  EXPECT_EQ(taken.kind, Kind::Data);
  EXPECT_EQ(taken.data[0], 42);
  ring.Acquire();
  ring.Publish(2);
  // Both buffers are with the consumer (one taken, one waiting to be).
  auto blocked = std::async(std::launch::async, [&] { return ring.Acquire(); });
  EXPECT_TRUE(StillWaiting(blocked));
  ring.Release();
  EXPECT_EQ(blocked.get(), first);
}

TEST(BufferRing, AStopOnEitherSideEndsTheOthersWaitAtOnce) {
  {  // the hashing side fails while the receiver waits for a buffer
    Ring ring(1, 8);
    ring.Acquire();
    ring.Publish(8);
    auto receiver = std::async(std::launch::async, [&] { return ring.Acquire(); });
    EXPECT_TRUE(StillWaiting(receiver));
    ASSERT_EQ(ring.Take().kind, Kind::Data);
    ring.Stop();
    EXPECT_EQ(receiver.get(), nullptr);
  }
  {  // the receiver fails or is cancelled mid-body: pieces not yet hashed are dropped
    Ring ring(2, 8);
    ring.Acquire();
    ring.Publish(8);
    ring.Stop();
    EXPECT_EQ(ring.Take().kind, Kind::Stopped);
    EXPECT_EQ(ring.Acquire(), nullptr);
  }
  {  // ... or while the hashing side waits for a piece
    Ring ring(2, 8);
    auto hasher = std::async(std::launch::async, [&] { return ring.Take(); });
    EXPECT_TRUE(StillWaiting(hasher));
    ring.Stop();
    EXPECT_EQ(hasher.get().kind, Kind::Stopped);
  }
}

TEST(BufferRing, AClosedRingHandsOverWhatIsLeftThenEndsAndAResetOpensItAgain) {
  Ring ring(3, 8);
  for (int piece = 0; piece < 2; ++piece) {
    ring.Acquire();
    ring.Publish(piece + 1);
  }
  ring.Close();
  EXPECT_EQ(ring.Take().size, 1u);
  ring.Release();
  EXPECT_EQ(ring.Take().size, 2u);
  ring.Release();
  EXPECT_EQ(ring.Take().kind, Kind::End);

  ring.Stop();
  ring.Reset();  // a body that starts over
  ring.Acquire();
  ring.Publish(5);
  const auto taken = ring.Take();
  EXPECT_EQ(taken.kind, Kind::Data);
  EXPECT_EQ(taken.size, 5u);
}

}  // namespace
