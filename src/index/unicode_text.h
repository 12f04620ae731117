// The Unicode text helpers live in model/unicode_text.h; this header keeps the
// index path.
#pragma once

#include "model/unicode_text.h"
