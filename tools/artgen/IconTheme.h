#pragma once

#include <QDir>

// The programs' icons for the desktop's icon theme: res/icons/hicolor/<N>x<N>/apps/ at every
// size the theme asks for, named as the desktop entries name them (vaultry-download,
// vaultry-upload), and scalable/apps/ where the build has Qt SVG. False when one could not
// be written.
bool writeIconTheme(const QDir& res);
