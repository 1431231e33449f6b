#pragma once

#include <QFile>
#include <QString>

namespace rq::platform {

// Writes a file as a careful editor does. A regular file, or a name that is not there yet, gets a new file
// beside it that takes its place by a rename only on commit(): the target is either left as it was or
// replaced by the whole file, with the old file's mode. Anything else the name reaches (a device, a FIFO,
// a terminal, /dev/stdout) is written in place, as the shell's `>` would: renaming over it would turn a
// device into a plain file and leave a FIFO's reader waiting.
//
// A target the user may not write is refused with the system's reason, as `>` refuses it. Unlike
// QSaveFile's, the new file's name is known, so an interruption can remove it (see Console.h); the object
// removes it too when it goes uncommitted. One at a time per program.
class ReplacementFile {
public:
    // What to do where the folder takes no new file but the target itself can be written.
    enum class NoNewFile { Fail, WriteInPlace };

    explicit ReplacementFile(const QString& target, NoNewFile noNewFile = NoNewFile::Fail);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file (never opening an existing one), or opens the target for writing in place.
    bool open();
    // Unbuffered: every write reaches the system at once, so a failed write carries the system's reason.
    QFile& device() { return file_; }
    // Puts everything on the disk, then renames the new file over the target.
    bool commit();
    // The system's words for what went wrong ("No space left on device").
    QString errorString() const { return error_; }

private:
    bool openInPlace();
    bool openNewFile();
    void discard();

    QString target_;   // as given: an in-place write opens this, letting the system follow its links
    QString resolved_; // where its links lead: the name a new file replaces
    NoNewFile noNewFile_;
    QFile file_;
    bool created_ = false;
    bool inPlace_ = false;
    QString error_;
};

} // namespace rq::platform
