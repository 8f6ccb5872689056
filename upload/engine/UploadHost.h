#pragma once

#include "core/TransferHost.h"

// The upload engine asks nothing beyond what both windows offer.
using UploadHost = TransferHost;
