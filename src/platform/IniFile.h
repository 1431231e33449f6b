#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace rq::platform {

// The bytes of an INI file shared with other programs, edited line by line: setting a value rewrites that
// value's own line (or adds one) and leaves every other byte as it was, whatever its encoding or line ends.
// Sections and keys are found the way Windows' own INI reader finds them: names compared without regard
// to case, blanks around them ignored, the first section of a name and the first key in it counting.
// A value is the raw text after the first '=' up to the line end, blanks and quotes included.
class IniFile {
public:
    explicit IniFile(QByteArray bytes) : bytes_(std::move(bytes)) {}

    const QByteArray& bytes() const { return bytes_; }

    // Nothing when the section or the key is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Leaves the bytes untouched when the key already holds this value. Returns false, changing nothing,
    // when the names or the value cannot be written as one line that reads back the same (a line break,
    // a key with '=') or when the file is in an encoding this editor does not write (UTF-16).
    bool setValue(QStringView section, QStringView key, QStringView value);

private:
    QByteArray bytes_;
};

} // namespace rq::platform
