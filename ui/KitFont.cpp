#include "ui/KitFont.h"

#include <QStringList>

QFont gulimFont(int pixelSize, QFont::Weight weight) {
    QFont font;
    font.setFamilies({QStringLiteral("NanumGothic"), QStringLiteral("Nanum Gothic"),
                      QStringLiteral("NanumBarunGothic"), QStringLiteral("Noto Sans CJK KR"),
                      QStringLiteral("Noto Sans KR"), QStringLiteral("UnDotum"),
                      QStringLiteral("Baekmuk Gulim")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}
