#pragma once

#include "cli/CommandLineOptions.h"
#include "cli/DatabaseRead.h"
#include "logic/ResultsList.h"

#include <QList>
#include <QString>
#include <QStringView>

class QIODevice;

namespace rq::cli {

// The items an extraction finds, in order: printed to standard output as they come (each ended by a line
// feed, or a NUL with --null), or only counted, and kept in a results list where the duplicate check or
// the results file needs them.
class FoundItems {
public:
    // `database` is the text the items are found in, and where its fields came from.
    FoundItems(const CommandLineRequest& request, const DatabaseRead& database, QIODevice& out);

    // An item found in the database text (a view into it). Throws a Failure when standard output takes no
    // more.
    void add(QStringView item);
    qsizetype count() const { return count_; }
    // The list the results file is written from.
    QList<QString> kept() const { return list_.snapshot(); }

private:
    const DatabaseRead& database_;
    bool withOrigin_;
    QIODevice& out_;
    bool skipDuplicates_;
    bool keep_;
    bool print_;
    char end_;
    ResultsList list_;
    qsizetype count_ = 0;
};

} // namespace rq::cli
