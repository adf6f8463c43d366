#include "platform/endpoint_security/MessageArena.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace vorla::endpoint_security {

namespace {

// Enough for a typical execution message with its process, files and texts.
constexpr size_t firstBlockSize = 4096;

} // namespace

MessageArena::MessageArena(MessageArena&& other) noexcept
    : last_(std::exchange(other.last_, nullptr)), free_(std::exchange(other.free_, nullptr)),
      left_(std::exchange(other.left_, 0)), nextSize_(std::exchange(other.nextSize_, 0)) {}

MessageArena& MessageArena::operator=(MessageArena&& other) noexcept {
    if (this != &other) {
        freeBlocks();
        last_ = std::exchange(other.last_, nullptr);
        free_ = std::exchange(other.free_, nullptr);
        left_ = std::exchange(other.left_, 0);
        nextSize_ = std::exchange(other.nextSize_, 0);
    }
    return *this;
}

MessageArena::~MessageArena() {
    freeBlocks();
}

void* MessageArena::allocate(size_t size, size_t alignment) {
    // Alignments are powers of two, so the padding is a mask away rather than two divisions.
    size_t padding = (0 - reinterpret_cast<uintptr_t>(free_)) & (alignment - 1);
    if (padding + size > left_) {
        const size_t blockSize = std::max(nextSize_, firstBlockSize);
        // A large request gets a block of its own, so that the block in use keeps its room.
        if (size > blockSize / 4) {
            return addBlock(size);
        }
        free_ = addBlock(blockSize);
        left_ = blockSize;
        nextSize_ = blockSize * 2;
        padding = 0;
    }
    std::byte* result = free_ + padding;
    free_ += padding + size;
    left_ -= padding + size;
    return result;
}

void MessageArena::prefetch() const {
    constexpr size_t cacheLine = 64;
    // The block being filled is half the size that the next one will have.
    const size_t used = nextSize_ / 2 - left_;
    const std::byte* const start = free_ - used;
    const std::byte* const end = start + std::min(used, firstBlockSize);
    for (const std::byte* line = start; line < end; line += cacheLine) {
        __builtin_prefetch(line);
    }
}

std::byte* MessageArena::addBlock(size_t size) {
    auto* block = static_cast<Block*>(::operator new(sizeof(Block) + size));
    block->previous = last_;
    last_ = block;
    return reinterpret_cast<std::byte*>(block + 1);
}

void MessageArena::freeBlocks() {
    while (last_) {
        ::operator delete(std::exchange(last_, last_->previous));
    }
}

} // namespace vorla::endpoint_security
