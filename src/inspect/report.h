// The inspection report as text for people and as JSON for build pipelines.
#pragma once

#include <string>

#include "inspect/image_reader.h"

namespace vantorel {

std::string FormatReportText(const std::string& imagePath, const ImageReport& report);
std::string FormatReportJson(const std::string& imagePath, const ImageReport& report);

}  // namespace vantorel
