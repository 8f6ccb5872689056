#pragma once

#include "tests/support/RecordingTransferHost.h"

// The upload engine asks nothing beyond what every main window offers.
using UploadRecordingHost = RecordingTransferHost;
