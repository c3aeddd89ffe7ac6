#include "service/subrecord_blocks.h"

#include <array>
#include <new>

namespace EGTS {

namespace {

// Sizes are kept in steps of 16 bytes up to 512; larger objects are rare.
constexpr std::size_t kStep = 16;
constexpr std::size_t kLargestKept = 512;
constexpr std::size_t kKeptOfASize = 64;

struct FreeBlock {
  FreeBlock* next;
};

struct KeptBlocks {
  FreeBlock* first = nullptr;
  std::size_t count = 0;
};

// Trivially destroyed: still there for a block freed after the thread's
// Drainer has run (an object of a static's destructor).
struct ThreadBlocks {
  std::array<KeptBlocks, kLargestKept / kStep + 1> bySize{};
  bool drained = false;
};
thread_local ThreadBlocks threadBlocks;

// Gives the thread's kept blocks back when the thread ends.
struct Drainer {
  ~Drainer() {
    for (KeptBlocks& kept : threadBlocks.bySize) {
      while (kept.first != nullptr) {
        FreeBlock* next = kept.first->next;
        ::operator delete(kept.first);
        kept.first = next;
      }
      kept.count = 0;
    }
    threadBlocks.drained = true;
  }
};
thread_local Drainer drainer;

std::size_t SlotOf(std::size_t size) { return (size + kStep - 1) / kStep; }

}  // namespace

void* TakeSubrecordBlock(std::size_t size) noexcept {
  if (!kSubrecordBlocksKept || size > kLargestKept || threadBlocks.drained) {
    return ::operator new(size, std::nothrow);
  }
  const std::size_t slot = SlotOf(size);
  KeptBlocks& kept = threadBlocks.bySize[slot];
  if (kept.first != nullptr) {
    FreeBlock* block = kept.first;
    kept.first = block->next;
    --kept.count;
    return block;
  }
  return ::operator new(slot * kStep, std::nothrow);
}

void GiveSubrecordBlock(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  if (!kSubrecordBlocksKept || size > kLargestKept || threadBlocks.drained) {
    ::operator delete(block);
    return;
  }
  KeptBlocks& kept = threadBlocks.bySize[SlotOf(size)];
  if (kept.count == kKeptOfASize) {
    ::operator delete(block);
    return;
  }
  // The thread's Drainer is made with the first block kept, so that its
  // destructor runs when the thread ends.
  if (kept.count == 0) static_cast<void>(&drainer);
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = kept.first;
  kept.first = freed;
  ++kept.count;
}

}  // namespace EGTS
