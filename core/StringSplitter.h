#pragma once

#include <QByteArray>
#include <array>

// Cuts a byte text at every occurrence of a separator, into at most 500 pieces. Used for the
// wire replies ("|"), the file lists ("?") and the launch link (" ", ":", "//", ",").
class StringSplitter {
public:
    static constexpr int kMaxPieces = 500;
    static constexpr int kMaxSeparator = 51;

    // A separator longer than 51 bytes is cut to 51; an empty one never matches.
    explicit StringSplitter(const QByteArray& separator);

    // n separators give n + 1 pieces, empty ones included. Beyond 500 pieces the rest of the
    // text stays unsplit in the last piece.
    void split(const QByteArray& text);

    unsigned count() const { return count_; }
    // The piece, or "" beyond the count.
    QByteArray piece(int index) const;

private:
    QByteArray separator_;
    std::array<QByteArray, kMaxPieces> pieces_;
    unsigned count_ = 0;
};

// The field at `index` of a "|"-separated reply, "" when missing.
QByteArray FieldOf(const QByteArray& text, int index);

// Splits `text` at the first occurrence of `separator`: the head, and the rest after it.
// Without the separator the head is empty and the whole text is passed on as the rest,
// the way the clients cut their request and reply fields.
struct HeadAndRest {
    QByteArray head;
    QByteArray rest;
};
HeadAndRest CutAtFirst(const QByteArray& text, char separator);
