#pragma once
// The command set: one long-lived object per command number.

#include "devicelink/Cmd109.h"
#include "devicelink/Cmd113.h"
#include "devicelink/Cmd114.h"
#include "devicelink/Cmd995.h"
#include "devicelink/Cmd996.h"
#include "devicelink/Cmd999.h"
#include "devicelink/Cmd108.h"
