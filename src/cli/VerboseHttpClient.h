#pragma once
// An HTTP client that tells each request on standard error (--verbose): the
// address, the status, the bytes, the time, and the proxy it goes through.

#include <memory>

#include "platform/HttpClient.h"

namespace mzt {

std::unique_ptr<IHttpClient> MakeVerboseHttpClient(std::unique_ptr<IHttpClient> client);

}  // namespace mzt
