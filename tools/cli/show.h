// The tables that show, upload and demo print for an image.
#pragma once

#include <ostream>

#include "image.h"

namespace kvtcli {

void printImage(std::ostream& out, const ImageDocument& image);

// "0, 0.25, 0.5" with at most max points, then "... (21 points)".
std::string formatPoints(const std::vector<float>& points, size_t max = 11);

}  // namespace kvtcli
