#pragma once
// The kinds of reply the system reads from repositories and services, each with what it
// may cost (URLReplyLimits.h): the ceiling counts the body as it arrives, decoded; the
// deadline runs from the request to the last byte; the rate is the session's floor. The
// idle time-outs stay each request's own.
#include "foundation/URLReplyLimits.h"

namespace KVReplyLimits {
inline constexpr int64_t kKiB = 1024, kMiB = 1024 * 1024;

// A Release file, held whole: a repository's is a few KB, the largest real one (a full
// Debian archive's, listing every index of every architecture) about 200 KB. The refresh
// waits for it before anything else.
inline constexpr URLReplyLimits kReleaseFile{"a Release file", 4 * kMiB, 120, URLReplyLimits::kMinimumRate};
// A Packages index, written to a file as it comes: a jailbreak repository's is a few MB
// even unpacked, Debian's main index about 50 MB; time for a few MB on a slow link.
inline constexpr URLReplyLimits kPackagesIndex{"a Packages index", 128 * kMiB, 900, URLReplyLimits::kMinimumRate};
// A repository's "payment_endpoint": one address, with room for the error page a
// repository without the service may serve in its place. The refresh cannot end before
// this answer, so its deadline is the Release request's own time-out.
inline constexpr URLReplyLimits kPaymentEndpoint{"a payment endpoint answer", 64 * kKiB, 10,
                                                 URLReplyLimits::kMinimumRate};
// A JSON answer of a repository's payment service: a user's purchases, a package's price.
inline constexpr URLReplyLimits kPaymentService{"an answer of the payment service", 1 * kMiB, 60,
                                                URLReplyLimits::kMinimumRate};
// A JSON answer of the vendor's web service or the compatibility lists: the largest,
// the repository directory, is a few hundred KB.
inline constexpr URLReplyLimits kWebService{"an answer of the web service", 8 * kMiB, 120,
                                            URLReplyLimits::kMinimumRate};
// A package or source icon: small pictures, also held in memory to be checked.
inline constexpr URLReplyLimits kIcon{"an icon", 4 * kMiB, 60, URLReplyLimits::kMinimumRate};
// A package archive, written to a file: the largest real packages (toolchains, themes)
// are a few hundred MB; an hour covers them on a slow link.
inline constexpr URLReplyLimits kPackageArchive{"a package archive", 1024 * kMiB, 3600, URLReplyLimits::kMinimumRate};
}  // namespace KVReplyLimits
