#pragma once

#include <string>

// The full path of the running program's executable file, its bytes as the system gives
// them whatever their encoding; empty when it cannot be read.
std::string GetModuleFileName();
