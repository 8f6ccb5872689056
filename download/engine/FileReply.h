#pragma once

#include "download/engine/FileRecord.h"

#include <optional>

// A record from the server's answer to one entry, or nothing when the answer names a file or
// folder that would leave the save root, or a negative size (such an entry is skipped like
// "Null").
std::optional<FileRecord> RecordFromFileReply(const QByteArray& reply, const QByteArray& entry,
                                              const QString& root);
