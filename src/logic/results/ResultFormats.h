#pragma once

#include "logic/text/TextOrigins.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace rq {

// Results with where each was found, for other programs to read.
enum class ResultFormat {
    Text, // the item alone, as the results file holds it
    Tsv,  // tab-separated, with a header line
    Json, // JSON Lines: one object per item
};

// Text as every UTF-8 reader accepts it: half a surrogate pair, which UTF-8 cannot hold, becomes U+FFFD, the
// replacement character, in every format the results are written in as UTF-8.
QString wellFormed(QStringView text);
QByteArray wellFormedUtf8(QStringView text);

// "item  schema  table  column  key or row  further places", tab-separated; with a database column after the
// item where several databases are read.
QByteArray tsvHeader(bool withDatabase = false);
// One item and its place as a line of UTF-8, ended by a line feed. Tabs, line breaks and backslashes in the
// values are written \t, \n, \r and \\. `furtherPlaces` < 0 leaves that column empty (not known).
QByteArray tsvLine(QStringView item, const Origin& origin, qsizetype furtherPlaces, bool withDatabase = false);
// {"column": ..., "database": ... (where the origin names it), "furtherPlaces": n (where known), "item": ...,
//  "key": {"OrderID": 2005, "LineNo": 2} or "row": 2, "schema": ..., "table": ...}, on one line ended by a line
// feed. The key's members come in the primary key's column order, and a value of a numeric column is a number.
QByteArray jsonLine(QStringView item, const Origin& origin, qsizetype furtherPlaces);

// A value as a TSV field: tabs, line breaks and backslashes written \t, \n, \r and \\.
QString tsvField(QStringView value);
// A TSV value read back: \t, \n, \r and \\ undone.
QString tsvValue(QStringView escaped);

} // namespace rq
