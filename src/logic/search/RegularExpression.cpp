#include "RegularExpression.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "logic/text/CaseFolding.h"

#include <QStringList>
#include <algorithm>
#include <new>

namespace rq {

namespace {

// What a whole word may not touch: the characters the plain search's whole word looks at.
const QString kWholeWordBefore = QStringLiteral("(?<![\\p{L}\\p{N}\\p{M}_])(?:");
const QString kWholeWordAfter = QStringLiteral(")(?![\\p{L}\\p{N}\\p{M}_])");

// The JIT's stack: enough for ordinary patterns over lines of many thousand characters. A match that needs
// more borrows a larger one for its subject, reserved but touched only as far as it is used, and freed at once:
// room for a pattern that keeps a few frames for each unit, such as (x|y)*z, over subjects of millions of units.
constexpr PCRE2_SIZE kStackStart = 32 * 1024;
constexpr PCRE2_SIZE kStackMost = 1024 * 1024;
constexpr PCRE2_SIZE kLargeStackPerUnit = 32;
constexpr PCRE2_SIZE kLargeStackMost = 256 * 1024 * 1024;

PCRE2_SIZE largeStackFor(qsizetype subjectUnits)
{
    return std::clamp(static_cast<PCRE2_SIZE>(subjectUnits) * kLargeStackPerUnit, 4 * kStackMost, kLargeStackMost);
}

struct CodeFree {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};
using JitStack = std::unique_ptr<pcre2_jit_stack, JitStackFree>;

PCRE2_SPTR units(QStringView text) { return reinterpret_cast<PCRE2_SPTR>(text.utf16()); }

struct Compiled {
    std::unique_ptr<pcre2_code, CodeFree> code;
    int error = 0;
    PCRE2_SIZE offset = 0;
};

Compiled compile(QStringView pattern, bool matchCase)
{
    const std::unique_ptr<pcre2_compile_context, CompileContextFree> context(pcre2_compile_context_create(nullptr));
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_CR);
    uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_MULTILINE | PCRE2_MATCH_INVALID_UTF;
    if (!matchCase)
        options |= PCRE2_CASELESS;
    Compiled compiled;
    compiled.code.reset(pcre2_compile(units(pattern), static_cast<PCRE2_SIZE>(pattern.size()), options, &compiled.error,
                                      &compiled.offset, context.get()));
    return compiled;
}

QString errorText(int error)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(error, buffer, std::size(buffer));
    return length < 0 ? QString() : QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), length);
}

[[noreturn]] void throwInvalid(const Compiled& failed, qsizetype patternSize)
{
    const qsizetype at = std::min(static_cast<qsizetype>(failed.offset), patternSize);
    const QString where =
        at == patternSize ? QStringLiteral("at its end") : QStringLiteral("at character %1").arg(at + 1);
    throw InvalidPattern(
        QStringLiteral("The regular expression is not valid %1: %2.").arg(where, errorText(failed.error)));
}

// "UTF", "LIMIT_MATCH=1000": settings PCRE2 reads only at the very start of a pattern.
bool isStartSetting(QStringView item)
{
    static const QStringList names = {QStringLiteral("UTF"),
                                      QStringLiteral("UCP"),
                                      QStringLiteral("NO_AUTO_POSSESS"),
                                      QStringLiteral("NO_JIT"),
                                      QStringLiteral("NO_START_OPT"),
                                      QStringLiteral("NO_DOTSTAR_ANCHOR"),
                                      QStringLiteral("NOTEMPTY"),
                                      QStringLiteral("NOTEMPTY_ATSTART"),
                                      QStringLiteral("LIMIT_HEAP"),
                                      QStringLiteral("LIMIT_DEPTH"),
                                      QStringLiteral("LIMIT_RECURSION"),
                                      QStringLiteral("LIMIT_MATCH"),
                                      QStringLiteral("CR"),
                                      QStringLiteral("LF"),
                                      QStringLiteral("CRLF"),
                                      QStringLiteral("ANYCRLF"),
                                      QStringLiteral("ANY"),
                                      QStringLiteral("NUL"),
                                      QStringLiteral("BSR_ANYCRLF"),
                                      QStringLiteral("BSR_UNICODE")};
    const qsizetype equals = item.indexOf(u'=');
    return names.contains(equals < 0 ? item : item.first(equals));
}

// How long the pattern's start settings are, (*UTF)(*LIMIT_MATCH=1000) and the like: they must stay in front.
qsizetype startSettingsLength(QStringView pattern)
{
    qsizetype at = 0;
    while (pattern.sliced(at).startsWith(u"(*")) {
        const qsizetype close = pattern.indexOf(u')', at);
        if (close < 0 || !isStartSetting(pattern.sliced(at + 2, close - at - 2)))
            break;
        at = close + 1;
    }
    return at;
}

// The pattern within the whole-word lookarounds. The pattern alone has compiled, so only what it leaves open
// can swallow the wrapping: a \Q without its \E, or a # comment of extended mode that runs to its end.
QString wholeWordPattern(const QString& pattern, bool matchCase)
{
    const QString settings = pattern.first(startSettingsLength(pattern));
    QString body = pattern.sliced(settings.size()) + QStringLiteral("\\E"); // \E outside \Q...\E is ignored
    // A closing parenthesis after the pattern compiles only where a comment swallows it.
    if (compile(settings + body + QLatin1Char(')'), matchCase).code)
        body += QStringLiteral("\r\n"); // ends the comment whether lines end at CR (ours) or the pattern's LF
    return settings + kWholeWordBefore + body + kWholeWordAfter;
}

// What one matching thread needs beside a compiled pattern, for any pattern: the searches of a text's blocks run
// the same pattern on several threads at once, and PCRE2 lets no two matches share these.
struct MatchResources {
    std::unique_ptr<pcre2_match_data, MatchDataFree> data{pcre2_match_data_create(1, nullptr)};
    std::unique_ptr<pcre2_match_context, MatchContextFree> context{pcre2_match_context_create(nullptr)};
    JitStack stack{pcre2_jit_stack_create(kStackStart, kStackMost, nullptr)};

    MatchResources()
    {
        if (!data || !context || !stack)
            throw std::bad_alloc();
        pcre2_jit_stack_assign(context.get(), nullptr, stack.get());
    }
    static MatchResources& ofThisThread()
    {
        thread_local MatchResources resources;
        return resources;
    }
};

} // namespace

struct RegularExpression::Engine {
    std::unique_ptr<pcre2_code, CodeFree> code;

    int run(MatchResources& with, QStringView subject, qsizetype from) const
    {
        return pcre2_match(code.get(), units(subject), static_cast<PCRE2_SIZE>(subject.size()),
                           static_cast<PCRE2_SIZE>(from), 0, with.data.get(), with.context.get());
    }

    int runWithLargeStack(MatchResources& with, QStringView subject, qsizetype from) const
    {
        const JitStack large(pcre2_jit_stack_create(kStackMost, largeStackFor(subject.size()), nullptr));
        if (!large)
            return PCRE2_ERROR_JIT_STACKLIMIT;
        pcre2_jit_stack_assign(with.context.get(), nullptr, large.get());
        const int result = run(with, subject, from);
        pcre2_jit_stack_assign(with.context.get(), nullptr, with.stack.get());
        return result;
    }
};

RegularExpression::RegularExpression(const QString& pattern, Options options) : engine_(std::make_unique<Engine>())
{
    Compiled compiled = compile(pattern, options.matchCase);
    if (!compiled.code)
        throwInvalid(compiled, pattern.size());
    if (options.wholeWord) {
        compiled = compile(wholeWordPattern(pattern, options.matchCase), options.matchCase);
        if (!compiled.code)
            throwInvalid(compiled, pattern.size());
    }
    engine_->code = std::move(compiled.code);
    // Where the machine has no JIT, matching interprets the compiled pattern instead.
    pcre2_jit_compile(engine_->code.get(), PCRE2_JIT_COMPLETE);
}

RegularExpression::~RegularExpression() = default;
RegularExpression::RegularExpression(RegularExpression&&) noexcept = default;
RegularExpression& RegularExpression::operator=(RegularExpression&&) noexcept = default;

std::optional<std::bitset<256>> RegularExpression::firstLatin1Units() const
{
    uint32_t type = 0;
    if (pcre2_pattern_info(engine_->code.get(), PCRE2_INFO_FIRSTCODETYPE, &type) != 0)
        return std::nullopt;
    std::bitset<256> units;
    if (type == 1) {
        // One first unit, which the engine may match letter case ignored: take every unit that folds as it does.
        uint32_t first = 0;
        pcre2_pattern_info(engine_->code.get(), PCRE2_INFO_FIRSTCODEUNIT, &first);
        const CaseFolding& folding = CaseFolding::instance();
        const char16_t folded = first < 0x10000 ? folding.unit(char16_t(first)) : 0;
        for (unsigned u = 0; u < 256; ++u)
            units[u] = u == first || (first < 0x10000 && folding.unit(char16_t(u)) == folded);
        return units;
    }
    const uint8_t* bitmap = nullptr;
    if (type != 0 || pcre2_pattern_info(engine_->code.get(), PCRE2_INFO_FIRSTBITMAP, &bitmap) != 0 || !bitmap)
        return std::nullopt; // a match may begin at any line's start, or anywhere
    for (unsigned u = 0; u < 256; ++u)
        units[u] = (bitmap[u / 8] >> (u % 8)) & 1;
    return units;
}

RegularExpression::Match RegularExpression::match(QStringView subject, qsizetype from) const
{
    MatchResources& with = MatchResources::ofThisThread();
    int result = engine_->run(with, subject, from);
    if (result == PCRE2_ERROR_JIT_STACKLIMIT)
        result = engine_->runWithLargeStack(with, subject, from);
    if (result == PCRE2_ERROR_NOMATCH)
        return {};
    if (result < 0) // the match limit, or memory: the engine could not decide
        return {Match::Undecided};
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(with.data.get());
    const qsizetype start = static_cast<qsizetype>(ovector[0]);
    return {Match::Found, start, std::max<qsizetype>(0, static_cast<qsizetype>(ovector[1]) - start)};
}

} // namespace rq
