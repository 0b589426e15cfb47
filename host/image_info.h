// "zorvat info": what a host can learn about an image file without running
// it — where the image stands in the file, its checksum, its sections and
// whether it prepares.
#pragma once

#include <string>

#include "base/status.h"

// Describes the image at the end of the file at `path` into `report` and
// returns the status a run would stop with before executing: 0, 1, 2, 3, 21
// or 22.
TStatus DescribeImageFile(const char16_t* path, std::string& report);
