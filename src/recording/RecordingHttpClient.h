#pragma once
// An HTTP client that tells a SessionRecorder each request: the address, the
// proxy, and the answer (status, headers, an answer page's body, a
// download's size and SHA-256), or why none came.

#include <memory>

#include "platform/HttpClient.h"
#include "recording/SessionRecorder.h"

namespace mzt {

// Records while `slot` holds a recorder.
std::unique_ptr<IHttpClient> MakeRecordingHttpClient(std::unique_ptr<IHttpClient> client,
                                                     std::shared_ptr<RecorderSlot> slot);

}  // namespace mzt
