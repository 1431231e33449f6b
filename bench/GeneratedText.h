#pragma once

// The extraction benchmarks' text: about 200 MB of UTF-16 in lines of words.
#include <QRandomGenerator>
#include <QString>
#include <algorithm>

namespace rq::bench {

inline constexpr qsizetype kUnits = 100'000'000; // 200 MB of UTF-16

// Lines of words like a database's fields; `marked` of them carry <b>..</b> pairs, a few the needle.
inline QString generateText(int hits, int markedLines, int pairsPerMarkedLine)
{
    static const char* words[] = {"alpha", "Bravo",   "charlie", "delta", "Echo", "foxtrot",  "golf",  "hotel",
                                  "india", "juliett", "kilo",    "Lima",  "mike", "november", "oscar", "papa"};
    QRandomGenerator random(42);
    QString text;
    text.reserve(kUnits + 1000);
    qsizetype lineCount = 0;
    const qsizetype hitEvery = kUnits / 40 / std::max(hits, 1); // about 40 units a line
    while (text.size() < kUnits) {
        const int length = random.bounded(1, 12);
        for (int w = 0; w < length; ++w) {
            text += QLatin1String(words[random.bounded(16)]);
            text += QLatin1Char(' ');
        }
        if (lineCount < markedLines) {
            for (int p = 0; p < pairsPerMarkedLine; ++p)
                text += QStringLiteral("<b>item%1</b> ").arg(random.bounded(100000));
        }
        if (lineCount % 100'003 == 11)
            text += QStringLiteral("tel 555-0123 ");
        if (hits > 0 && lineCount % hitEvery == 7) {
            text += QStringLiteral("needleWORD");
            --hits;
        }
        text += QLatin1Char('\r');
        ++lineCount;
    }
    return text;
}

} // namespace rq::bench
