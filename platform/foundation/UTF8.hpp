#pragma once

#include <cstddef>
#include <string_view>

namespace vorla::foundation {

// The UTF-8 sequence that begins with the non-ASCII byte at `start`: its end lies past the
// whole character when it is well-formed, else past its maximal invalid subpart. Overlong
// forms, surrogates and code points past U+10FFFF are not well-formed.
struct UTF8Sequence {
    size_t end;
    bool wellFormed;
};
UTF8Sequence utf8SequenceAt(std::string_view bytes, size_t start);

} // namespace vorla::foundation
