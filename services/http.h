#pragma once

#include <chrono>

#include "services/types.h"

// A fetch gives up when it cannot connect within `connect`, or when no byte arrives for `stall`:
// a silent server must not freeze the window for ever.
inline constexpr std::chrono::seconds defaultConnectLimit{30};
inline constexpr std::chrono::seconds defaultStallLimit{60};

struct FetchLimits {
    std::chrono::milliseconds connect = defaultConnectLimit;
    std::chrono::milliseconds stall = defaultStallLimit;
};

struct FetchOutcome {
    Bytes body;             // all that was read, also after a failure part-way
    long status = 0;        // the final HTTP status, 0 when no response arrived
    bool complete = false;  // no transport error, body as long as announced, status 2xx
};

// One GET of `url`, with redirects followed; the body of any response is returned.
FetchOutcome httpFetch(const Text& url, const FetchLimits& limits = {});

// The body of `url`, empty when nothing could be fetched.
Bytes httpReadFile(const Text& url);
