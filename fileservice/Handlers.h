#pragma once

#include "fileservice/Service.h"

// One function per port; each serves one accepted connection to its end on the calling
// thread. None of them closes the socket: the caller does (Service::removeActive).
void ServeControl(Service& service, const Connection& c);  // 7510
void ServeDownload(Service& service, const Connection& c); // 7301
void ServeUpload(Service& service, const Connection& c);   // 7312
void ServeWeb(Service& service, const Connection& c);      // 7580
