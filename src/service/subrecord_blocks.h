#pragma once
// Memory for subrecord objects. A packet makes and frees one object a
// subrecord, a dozen a packet of a black box, all of a few sizes: blocks
// freed are kept for the next packet on the same thread, a few dozen of
// each size, instead of going back through malloc. A block may be freed
// on another thread than the one that took it: it joins that thread's
// blocks. Under the sanitizers every block goes through operator new, so
// that a use after free is still caught.

#include <cstddef>

namespace EGTS {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSubrecordBlocksKept = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSubrecordBlocksKept = false;
#else
inline constexpr bool kSubrecordBlocksKept = true;
#endif
#else
inline constexpr bool kSubrecordBlocksKept = true;
#endif

// A block of at least `size` bytes; null when there is no memory.
void* TakeSubrecordBlock(std::size_t size) noexcept;
// A block from TakeSubrecordBlock of the same size.
void GiveSubrecordBlock(void* block, std::size_t size) noexcept;

}  // namespace EGTS
