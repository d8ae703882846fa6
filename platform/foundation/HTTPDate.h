#pragma once
// HTTP dates (RFC 7231, section 7.1.1.1) for Last-Modified, If-Modified-Since, Date
// and Expires. Written always as IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT");
// read in the three forms a recipient must accept: IMF-fixdate, the obsolete
// RFC 850 form ("Sunday, 06-Nov-94 08:49:37 GMT") and asctime's
// ("Sun Nov  6 08:49:37 1994"). English names and the proleptic Gregorian calendar,
// whatever the host's locale; no time zone but GMT exists in the format.
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Date.h"

namespace HTTPDate {

// IMF-fixdate of DATE, whole seconds (fractions dropped). Dates before year 1 or
// after year 9999 are written as the nearest date the format can hold.
std::string format(Date date);

// The date TEXT names, or nothing when it is in none of the three forms or names a
// day that does not exist. An RFC 850 two-digit year is read as the latest year with
// those digits that is not more than 50 years after NOW.
std::optional<Date> parse(std::string_view text, Date now);
// As above, against the process clock.
std::optional<Date> parse(std::string_view text);

}  // namespace HTTPDate
