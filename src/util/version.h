// Version texts.
#pragma once

#include <string>

// Normalises a version text: "," becomes ".", every character other than a
// digit or "." is dropped, then `parts` parts are written, each as its
// integer value zero-padded to `width` ("1.2.3.4", 2, 3 gives "01.02.03").
std::string FormatVersion(const std::string& version, int width, int parts);
