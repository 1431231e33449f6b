#pragma once

#include <QStringView>

namespace rq {

// Whether `text` matches `pattern`: `*` any run of characters, `?` any one, everything else itself. Compare
// folded texts for letter case to be ignored.
bool wildcardMatch(QStringView pattern, QStringView text);

} // namespace rq
