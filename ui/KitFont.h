#pragma once

#include <QFont>

// The programs were laid out for the Korean "굴림" face; NanumGothic is its stand-in here.
// When neither it nor a close relative is installed, fontconfig's fallback still finds some
// face with Hangul glyphs, so texts stay legible.
QFont gulimFont(int pixelSize, QFont::Weight weight = QFont::Normal);
