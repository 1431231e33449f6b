#include "CaseFolding.h"

#include <QChar>

namespace rq {

const CaseFolding& CaseFolding::instance()
{
    static const CaseFolding folding;
    return folding;
}

CaseFolding::CaseFolding()
{
    for (char32_t u = 0; u < 65536; ++u) {
        const char32_t folded = QChar::isSurrogate(u) ? u : QChar::toCaseFolded(u);
        folded_[u] = static_cast<char16_t>(folded <= 0xFFFF ? folded : u);
    }
    // Inverse of the table, bucketed by folded unit, surrogates left out.
    offsets_.fill(0);
    for (char32_t u = 0; u < 65536; ++u) {
        if (!QChar::isSurrogate(u))
            ++offsets_[folded_[u] + 1];
    }
    for (std::size_t i = 1; i < offsets_.size(); ++i)
        offsets_[i] += offsets_[i - 1];
    std::array<std::uint32_t, 65536> fill{};
    for (char32_t u = 0; u < 65536; ++u) {
        if (!QChar::isSurrogate(u))
            sources_[offsets_[folded_[u]] + fill[folded_[u]]++] = static_cast<char16_t>(u);
    }
}

char16_t CaseFolding::unitAt(QStringView text, qsizetype i) const
{
    const char16_t u = text[i].unicode();
    char32_t codePoint = 0;
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        codePoint = QChar::surrogateToUcs4(u, text[i + 1].unicode());
    else if (QChar::isLowSurrogate(u) && i > 0 && text[i - 1].isHighSurrogate())
        codePoint = QChar::surrogateToUcs4(text[i - 1].unicode(), u);
    else
        return folded_[u];
    const char32_t folded = QChar::toCaseFolded(codePoint);
    if (!QChar::requiresSurrogates(folded))
        return u; // a pair that folds to a single unit would change the length: keep it
    return QChar::isHighSurrogate(u) ? QChar::highSurrogate(folded) : QChar::lowSurrogate(folded);
}

QString CaseFolding::folded(QStringView text) const
{
    QString result(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = unitAt(text, i);
    return result;
}

} // namespace rq
