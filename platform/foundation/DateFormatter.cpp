#include "foundation/DateFormatter.h"

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <mutex>

struct DateFormatter::Impl {
  std::unique_ptr<icu::SimpleDateFormat> fmt;
  std::mutex mutex;  // ICU formatters are not safe to share between threads
};

DateFormatter::DateFormatter(const std::string& pattern, const std::string& timeZone)
    : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  impl_->fmt = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern),
                                                        icu::Locale("en_US_POSIX"), status);
  if (U_FAILURE(status)) {
    impl_->fmt.reset();
    return;
  }
  icu::TimeZone* tz = timeZone.empty() ? icu::TimeZone::detectHostTimeZone()
                                       : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone));
  impl_->fmt->adoptTimeZone(tz);
  impl_->fmt->setLenient(false);
}

DateFormatter::~DateFormatter() = default;

std::string DateFormatter::format(Date date) const {
  if (!impl_->fmt) return {};
  std::lock_guard<std::mutex> lock(impl_->mutex);
  icu::UnicodeString out;
  impl_->fmt->format(static_cast<UDate>(date.unixSeconds() * 1000.0), out);
  std::string s;
  out.toUTF8String(s);
  return s;
}

std::optional<Date> DateFormatter::parse(const std::string& text) const {
  if (!impl_->fmt) return std::nullopt;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString in = icu::UnicodeString::fromUTF8(text);
  icu::ParsePosition pos(0);
  UDate d = impl_->fmt->parse(in, pos);
  if (pos.getErrorIndex() >= 0 || pos.getIndex() != in.length()) return std::nullopt;
  (void)status;
  return Date::fromUnix(d / 1000.0);
}
