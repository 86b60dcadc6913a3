#pragma once

// The loopback peer lives with its SyncML side.
#include "support/SyncPeer.h"
