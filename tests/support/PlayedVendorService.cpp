#include "support/PlayedVendorService.h"

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/TestData.h"
#include "support/TestVendorService.h"

namespace PlayedVendorService {
namespace {
std::string picture(const std::string& name) {
  auto data = Files::read(testdata::fixture("icons/" + name));
  return data ? std::string(data->begin(), data->end()) : std::string();
}
}  // namespace

void seed(TestVendorService& service) {
  std::string banner = service.addImage("banner.png", picture("package-icon.png"));
  service.setNews(Value::array({
      Value::dict({{"title", "Quillbark 5 is out"},
                   {"author", "Korvale"},
                   {"date", "2024-05-01"},
                   {"banner", banner},
                   {"content", "Backups of your setup now live with your account."}}),
      Value::dict({{"title", "Server maintenance"},
                   {"author", "Korvale"},
                   {"date", "2024-04-20"},
                   {"banner", "not a web address"},
                   {"content", "The service was down for an hour."}}),
  }));
  std::string avatar = service.addImage("ann.png", picture("store-placeholder.png"));
  service.setCredits(Value::array({
      Value::dict({{"name", "Ann Example"}, {"avatarURL", avatar}, {"username", "ann example"},
                   {"description", "Design and code"}}),
      Value::dict({{"name", "Bob Example"}, {"avatarURL", ""}, {"username", "bob"}, {"description", "Translations"}}),
  }));
  service.addDeveloper(Value::dict({{"developer", "Ann Example"}, {"email", kEmail}, {"avatar", avatar}}));
}
}  // namespace PlayedVendorService
