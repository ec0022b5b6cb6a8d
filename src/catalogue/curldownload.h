#pragma once

#include "catalogue/downloadresult.h"
#include "catalogue/downloadsettings.h"

// Fetches the catalogue with the curl program (see CurlCommand), within the
// settings' curl time limit. Blocks without processing events.
namespace CurlDownload {

DownloadResult run(const DownloadSettings &settings);

} // namespace CurlDownload
