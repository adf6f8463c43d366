#pragma once

#include <cstddef>

namespace vorla::endpoint_security {

// Memory for the values of one message: a chain of blocks, each larger than the one before,
// freed together with the arena. A message thus costs a few allocations however many values
// it holds, and what is placed in it never moves, not even when the arena is moved.
class MessageArena {
public:
    MessageArena() = default;
    MessageArena(const MessageArena&) = delete;
    MessageArena& operator=(const MessageArena&) = delete;
    MessageArena(MessageArena&& other) noexcept;
    MessageArena& operator=(MessageArena&& other) noexcept;
    ~MessageArena();

    // Room for size bytes at the alignment (no stricter than that of std::max_align_t), not
    // initialised.
    void* allocate(size_t size, size_t alignment);
    // Asks the processor to fetch the first values placed in the block being filled, where a
    // message's own values lie, ahead of their use by another thread than the one that placed
    // them.
    void prefetch() const;

private:
    // The head of a block, which its bytes follow.
    struct alignas(std::max_align_t) Block {
        Block* previous;
    };

    std::byte* addBlock(size_t size);
    void freeBlocks();

    Block* last_ = nullptr;
    std::byte* free_ = nullptr;
    size_t left_ = 0;
    size_t nextSize_ = 0;
};

} // namespace vorla::endpoint_security
