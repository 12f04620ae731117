// The UTF-8 checks live in model/utf8.h; this header keeps the storage path.
#pragma once

#include "model/utf8.h"
