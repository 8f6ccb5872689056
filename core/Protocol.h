#pragma once

#include <QtGlobal>

// The names and numbers both clients and the page control agree on. Each lives here once.
namespace Protocol {

// Manager commands: the command word, then "|"-separated fields.
inline constexpr const char* kDownloadCommandWord = "Vaultry_downloader_Manager";
inline constexpr const char* kUploadCommandWord = "Vaultry_uploader_Manager";

// Copy-data tags; each marks both directions between a client and the page control.
inline constexpr quint32 kDownloadTag = 41160500;
inline constexpr quint32 kUploadTag = 60504110;

// Window classes on the window bus.
inline constexpr const char* kDownloadWindowClass = "Vaultry_downloader";
inline constexpr const char* kUploadWindowClass = "vaultry_uploader";
inline constexpr const char* kPageControlClass = "VAULtry_AX_EXE";

// What a client started without a request announces to the page control.
inline constexpr const char* kDownloadAnnouncement = "Vaultry_Downloader";
inline constexpr const char* kUploadAnnouncement = "vaultry_uploader";

// The download client's launch link: "/url vastrelle://<decimal codes>/".
inline constexpr const char* kLaunchSwitch = "/url";
inline constexpr const char* kLaunchScheme = "vastrelle";

// The page control for browsers, started by "vastrelle-page://<decimal codes>/": the codes
// carry one page action, a whole download manager command or an upload choice
// "Vaultry_uploader_Choose|member|server" (the member then picks the files on this machine).
inline constexpr const char* kPageScheme = "vastrelle-page";
inline constexpr const char* kUploadChooseWord = "Vaultry_uploader_Choose";
// One page control runs at a time; a second page action is handed to it on the window bus,
// as the decoded action with its terminator.
inline constexpr const char* kPageActionClass = "vaultry_page_control";
inline constexpr quint32 kPageActionTag = 41160600;

} // namespace Protocol
