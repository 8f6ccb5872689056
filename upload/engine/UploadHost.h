#pragma once

#include "TransferHost.h"

// The upload engine asks nothing beyond what both windows offer.
using UploadHost = TransferHost;
