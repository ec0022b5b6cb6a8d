#pragma once

#include "download/downloadresult.h"
#include "download/downloadsettings.h"

// Fetches the catalogue with the curl program (see CurlCommand), within the
// settings' curl time limit, handing the body to the sink as curl writes it;
// conditional with validators (a 304 then has no body). Blocks without
// processing events.
namespace CurlDownload {

DownloadResult run(
    const DownloadSettings &settings, const Validators &validators, const CatalogueSink &sink);

} // namespace CurlDownload
