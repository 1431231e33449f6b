#include "TextBlock.h"

#include "Latin1Text.h"

#include <QtCore/qstringalgorithms.h>
#include <lz4.h>

#include <stdexcept>

namespace rq {

namespace {

// The packed form, in a buffer of its exact size. The working buffers stay with the packing thread, so that
// packing block after block leaves no holes between the packed blocks it keeps.
QByteArray compress(const char* data, qsizetype bytes)
{
    thread_local QByteArray out;
    const int bound = LZ4_compressBound(int(bytes));
    if (out.size() < bound)
        out.resize(bound);
    const int length = LZ4_compress_default(data, out.data(), int(bytes), bound);
    return QByteArray(out.constData(), length);
}

void decompress(const QByteArray& packed, char* into, qsizetype bytes)
{
    const int length = LZ4_decompress_safe(packed.constData(), into, int(packed.size()), int(bytes));
    if (length != bytes)
        throw std::runtime_error("a packed text block does not unpack");
}

} // namespace

TextBlock::TextBlock(QString text, std::shared_ptr<const TextOrigins> origins)
    : plain_(std::move(text)), size_(plain_.size()), origins_(std::move(origins)), table_(origins_->firstTable())
{
}

void TextBlock::pack()
{
    QString plain;
    {
        const std::lock_guard lock(mutex_);
        if (plain_.isNull() || !packed_.isNull())
            return;
        plain = plain_; // shared, not copied
    }
    const bool latin1Only = QtPrivate::isLatin1(QStringView(plain));
    if ((latin1Only ? plain.size() : plain.size() * 2) > LZ4_MAX_INPUT_SIZE)
        return; // a row of a gigabyte or more stays as it is
    QByteArray packed;
    auto trigrams = std::make_unique<TrigramSet>();
    if (latin1Only) {
        thread_local QByteArray latin1;
        if (latin1.size() < plain.size())
            latin1.resize(plain.size());
        narrowToLatin1(reinterpret_cast<const char16_t*>(plain.utf16()), latin1.data(), plain.size());
        packed = compress(latin1.constData(), plain.size());
        trigrams->addLatin1(latin1.constData(), plain.size());
    } else {
        packed = compress(reinterpret_cast<const char*>(plain.utf16()), plain.size() * 2);
        trigrams->add(plain);
    }
    if (packed.isNull())
        packed = QByteArray(""); // empty, but packed
    const std::lock_guard lock(mutex_);
    packed_ = std::move(packed);
    narrow_ = latin1Only;
    trigrams_ = std::move(trigrams);
    plain_ = QString();
}

QStringView TextBlock::read(QString& buffer) const
{
    QByteArray packed;
    bool narrow = false;
    {
        const std::lock_guard lock(mutex_);
        if (packed_.isNull()) {
            buffer = plain_;
            return buffer;
        }
        packed = packed_;
        narrow = narrow_;
    }
    if (buffer.isDetached() && buffer.capacity() >= size_)
        buffer.resize(size_);
    else
        buffer = QString(size_, Qt::Uninitialized);
    if (narrow) {
        thread_local QByteArray bytes;
        if (bytes.size() < size_)
            bytes.resize(size_);
        decompress(packed, bytes.data(), size_);
        widenLatin1(bytes.constData(), reinterpret_cast<char16_t*>(buffer.data()), size_);
    } else {
        decompress(packed, reinterpret_cast<char*>(buffer.data()), size_ * 2);
    }
    return QStringView(buffer).first(size_);
}

std::optional<QByteArrayView> TextBlock::readLatin1(QByteArray& bytes) const
{
    QByteArray packed;
    {
        const std::lock_guard lock(mutex_);
        if (packed_.isNull() || !narrow_)
            return std::nullopt;
        packed = packed_;
    }
    if (bytes.size() < size_)
        bytes.resize(size_);
    decompress(packed, bytes.data(), size_);
    return QByteArrayView(bytes).first(size_);
}

bool TextBlock::mayHold(QStringView text) const
{
    const TrigramSet* trigrams = nullptr;
    {
        const std::lock_guard lock(mutex_);
        trigrams = trigrams_.get(); // once set, kept as it is for the block's life
    }
    return !trigrams || trigrams->mayHold(text);
}

qsizetype TextBlock::keptBytes() const
{
    const std::lock_guard lock(mutex_);
    return packed_.isNull() ? plain_.size() * 2 : packed_.size() + qsizetype(sizeof(TrigramSet));
}

} // namespace rq
