#pragma once

#include <QFile>
#include <QString>

// What a program run from a shell needs of the system beyond Qt: whether someone watches standard error,
// an interruption that ends the program at once, and a file that is never left half written.
namespace rq::platform {

bool standardErrorIsTerminal();

// From now on Ctrl-C (SIGINT), SIGTERM and SIGHUP end the program at once with status 128 + the signal's
// number (130 for Ctrl-C), removing first the file a ReplacementFile is writing, if there is one.
void exitAtOnceOnInterrupt();

// A new file beside its target that takes the target's place, by a rename, only on commit(): the target
// is either left as it was or replaced by the whole file. Unlike QSaveFile's, the new file's name is
// known, so an interruption can remove it; the object removes it too when it goes uncommitted.
// A target that is a symbolic link is replaced where the link points. One at a time per program.
class ReplacementFile {
public:
    explicit ReplacementFile(const QString& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file (never opening an existing one); false when the folder takes no new file.
    bool open();
    QFile& device() { return file_; }
    // Puts everything on the disk, then renames the new file over the target.
    bool commit();
    QString errorString() const { return error_; }

private:
    void discard();

    QString target_;
    QFile file_;
    bool created_ = false;
    QString error_;
};

} // namespace rq::platform
