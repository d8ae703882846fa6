#include "account/KVNews.h"

#include "account/KVVendorService.h"

KVNews KVNews::newsWithJSON(const Value& object) {
  using KVVendorService::textMember;
  return KVNews{textMember(object, "author"), textMember(object, "title"), textMember(object, "banner"),
                textMember(object, "content"), textMember(object, "date")};
}
