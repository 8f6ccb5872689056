#pragma once

#include <QByteArray>
#include <optional>

// The download client's launch link: "/url vastrelle://65,98,0,99/" carries its request as
// decimal byte codes. Returns the decoded request (possibly empty, when every code was 0),
// or nothing when the text is not a launch link or its payload piece is empty.
std::optional<QByteArray> DecodeLaunchLink(const QByteArray& argumentText);

// The text the main window receives: "Vaultry_downloader_Manager|" + request.
QByteArray DownloadManagerCommand(const QByteArray& request);

inline constexpr const char* kDownloadCommandWord = "Vaultry_downloader_Manager";
inline constexpr const char* kUploadCommandWord = "Vaultry_uploader_Manager";
