#pragma once

#include <QStringView>
#include <bitset>

namespace rq {

// Which runs of three characters a block's text holds, letter case folded, hashed into 64 Ki bits (8 KB beside
// 2 MB of text). A plain search or marker can only occur in a block that holds each of its runs, so blocks that
// miss one are passed over without being unpacked. A hash may collide, so a block is sometimes unpacked for
// nothing; an occurrence is never missed.
class TrigramSet {
public:
    // Records the runs of `text`, UTF-16 or Latin-1.
    void add(QStringView text);
    void addLatin1(const char* text, qsizetype size);

    // Whether `text` can occur in what was added, matched exactly or letter case ignored. Texts shorter than three
    // units, or with surrogate pairs, always can.
    bool mayHold(QStringView text) const;

private:
    static constexpr int kBitsLog2 = 16;
    static std::size_t slot(char16_t a, char16_t b, char16_t c)
    {
        const quint64 key = quint64(a) | quint64(b) << 16 | quint64(c) << 32;
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - kBitsLog2));
    }

    std::bitset<std::size_t(1) << kBitsLog2> bits_;
};

} // namespace rq
