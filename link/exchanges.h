#pragma once
// Every exchange with the meter, as straight-line code over a SerialPort: the wire primitives,
// the read and write of the whole image, the single-tank send, clear and the keypad, and the
// texts each window shows for their results.

#include "link/download.h"
#include "link/exchangemessages.h"
#include "link/panelcommands.h"
#include "link/tankexchange.h"
#include "link/upload.h"
#include "link/wire.h"
