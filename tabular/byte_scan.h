// Scans of text for a few bytes at once: sixteen bytes at a time where the
// processor has SSE2 (every x86-64 one), one at a time elsewhere. The CSV
// reader uses them to find line breaks and delimiters in plain text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wrenfield::tabular {

// The positions, in order, of every byte of a text that equals one of three.
class ByteFinder {
public:
    static constexpr std::size_t kEnd = static_cast<std::size_t>(-1);

    ByteFinder(std::string_view text, char a, char b, char c)
        : text_(text)
        , a_(a)
        , b_(b)
        , c_(c)
    {
        mask_ = maskAt(0);
    }

    // The next position, or kEnd after the last.
    std::size_t next()
    {
        while (mask_ == 0) {
            block_ += kBlock;
            if (block_ >= text_.size())
                return kEnd;
            mask_ = maskAt(block_);
        }
        const std::size_t position = block_ + static_cast<std::size_t>(std::countr_zero(mask_));
        mask_ &= mask_ - 1;
        return position;
    }

private:
    static constexpr std::size_t kBlock = 16;

    // One bit for each of the sixteen bytes from `at` that matches.
    std::uint32_t maskAt(std::size_t at) const
    {
        const std::size_t length = text_.size() - at < kBlock ? text_.size() - at : kBlock;
        if (length == 0)
            return 0;
        char bytes[kBlock] = {};
        const char* block = text_.data() + at;
        if (length < kBlock) {
            // The last, short block: padded with a byte that cannot match.
            char pad = 0;
            while (pad == a_ || pad == b_ || pad == c_)
                ++pad;
            std::memset(bytes, pad, kBlock);
            std::memcpy(bytes, block, length);
            block = bytes;
        }
#if defined(__SSE2__)
        const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(data, _mm_set1_epi8(a_)), _mm_cmpeq_epi8(data, _mm_set1_epi8(b_))),
                         _mm_cmpeq_epi8(data, _mm_set1_epi8(c_)));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
#else
        std::uint32_t mask = 0;
        for (std::size_t i = 0; i < kBlock; ++i)
            if (block[i] == a_ || block[i] == b_ || block[i] == c_)
                mask |= std::uint32_t{1} << i;
        return mask;
#endif
    }

    std::string_view text_;
    char a_, b_, c_;
    std::size_t block_ = 0;
    std::uint32_t mask_ = 0;
};

// How many bytes of a text equal `c`: sixteen bytes a step, each byte's
// matches added up in its own lane (a match compares as -1), the lanes'
// counts summed before any could pass 255 (the reader counts the line
// breaks of every piece of plain text).
inline std::size_t countByte(std::string_view text, char c)
{
    std::size_t count = 0;
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    while (at + 16 <= text.size()) {
        __m128i lanes = _mm_setzero_si128();
        for (int step = 0; step < 255 && at + 16 <= text.size(); ++step, at += 16) {
            const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(data, wanted));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
            static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; at < text.size(); ++at)
        count += text[at] == c ? 1 : 0;
    return count;
}

}  // namespace wrenfield::tabular
