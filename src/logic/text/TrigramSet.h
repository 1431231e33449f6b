#pragma once

#include <QStringView>
#include <array>

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
    // Three folded units, the last in the low bits, as the text's units are shifted in one by one.
    static quint64 key(char16_t a, char16_t b, char16_t c) { return quint64(a) << 32 | quint64(b) << 16 | c; }
    static std::size_t slot(quint64 key) { return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - kBitsLog2)); }
    template <typename FoldedUnitAt> void addUnits(qsizetype size, FoldedUnitAt unitAt);

    std::array<quint64, (std::size_t(1) << kBitsLog2) / 64> words_{};
};

} // namespace rq
