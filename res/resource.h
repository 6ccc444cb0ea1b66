// Resource and command identifiers.
#pragma once

// Sent by a join worker to the window that started it, once its join is complete.
#define ID_JOIN_COMPLETED 1124
