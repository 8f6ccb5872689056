#pragma once

#include "fileservice/Catalogue.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The pages of the web port: the two 525x63 banners the clients show, and the homepage, the
// member's file page (its HTML, CSS and script are resources: fileservice/web/).

QByteArray DownloadBannerPage();
QByteArray UploadBannerPage();

// The file page for a catalogue; serverNumber goes into the download and upload links.
QByteArray FilePage(const std::vector<ListedFile>& files, const QString& serverNumber);

// A static asset of the homepage ("/assets/home.css"): false when there is none.
bool HomeAsset(const QByteArray& path, QByteArray& body, QByteArray& type);
