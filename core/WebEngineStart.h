#pragma once

#include <QByteArray>

// What the banner's web engine needs from the program before QApplication exists. Neither
// needs the web engine itself (a Qt attribute and an environment variable), so the programs
// call it without linking the engine, which loads later with the banner module.
namespace WebEngineStart {

// The web engine needs OpenGL contexts shared across windows, and Chromium flags that fit the
// machine: no GPU when there is no screen to draw on, no sandbox when running as root, where
// Chromium refuses it, and no Chromium log lines on the console.
void prepareApplication();
// The flags prepareApplication() puts in QTWEBENGINE_CHROMIUM_FLAGS, given those already
// there; flags already given are kept and never doubled.
QByteArray chromiumFlags(const QByteArray& given, bool offscreen, bool root);

} // namespace WebEngineStart
