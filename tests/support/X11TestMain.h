#pragma once

#include "support/XvfbSession.h"

// The private X server of this test program, started by its main before the QApplication.
CXvfbSession& TestDisplay();
