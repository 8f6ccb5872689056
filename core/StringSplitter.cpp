#include "core/StringSplitter.h"

StringSplitter::StringSplitter(const QByteArray& separator)
    : separator_(separator.left(kMaxSeparator)) {}

void StringSplitter::split(const QByteArray& text) {
    for (unsigned i = 0; i < count_; ++i)
        pieces_[i].clear();
    count_ = 0;
    qsizetype start = 0;
    while (count_ + 1 < unsigned(kMaxPieces) && !separator_.isEmpty()) {
        const qsizetype at = text.indexOf(separator_, start);
        if (at < 0)
            break;
        pieces_[count_++] = text.mid(start, at - start);
        start = at + separator_.size();
    }
    pieces_[count_++] = text.mid(start);
}

QByteArray StringSplitter::piece(int index) const {
    if (index < 0 || unsigned(index) >= count_)
        return {};
    return pieces_[size_t(index)];
}

QByteArray FieldOf(const QByteArray& text, int index) {
    StringSplitter fields("|");
    fields.split(text);
    return fields.piece(index);
}

HeadAndRest CutAtFirst(const QByteArray& text, char separator) {
    const qsizetype at = text.indexOf(separator);
    if (at < 0)
        return {QByteArray(), text};
    return {text.left(at), text.mid(at + 1)};
}
