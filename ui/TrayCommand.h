#pragma once

// Command ids of the tray menu, the same in both programs.
namespace TrayCommand {
inline constexpr int OpenHomepage = 32771;
inline constexpr int ShowWindow = 32772;
inline constexpr int Settings = 32773;
inline constexpr int ExitProgram = 32774;
} // namespace TrayCommand

// The tray icon id the windows use and the mouse messages its handler acts on.
namespace TrayMessage {
inline constexpr int IconId = 128;
inline constexpr int LeftDoubleClick = 515;
inline constexpr int RightButtonDown = 516;
} // namespace TrayMessage
