// The tables that show, upload, results and demo print for an image and its results.
#pragma once

#include <ostream>
#include <vector>

#include "image/image.h"

namespace kvtcli {

void printImage(std::ostream& out, const kvtapp::ImageDocument& image);
// Each result with its tags, task, setup and a table of its test points.
// Each result with its points; where a decision rule judged them, their uncertainty and TUR, a
// TUR below the minimum marked.
void printResults(std::ostream& out, const std::vector<kvtapp::Result>& results,
                  double minimumTur = 4);

// "0, 0.25, 0.5" with at most max points, then "... (21 points)".
std::string formatPoints(const std::vector<float>& points, size_t max = 11);

}  // namespace kvtcli
