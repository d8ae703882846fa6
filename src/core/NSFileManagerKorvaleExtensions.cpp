#include "core/NSFileManagerKorvaleExtensions.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "core/NSDataHex.h"
#include "foundation/Files.h"
#include "system/DeviceFiles.h"

namespace NSFileManagerKorvaleExtensions {
std::optional<std::string> fileHashAtPath(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f || Files::isDirectory(path)) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr);
  unsigned char buf[1024];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) EVP_DigestUpdate(ctx.get(), buf, n);
  if (std::ferror(f.get())) return std::nullopt;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  EVP_DigestFinal_ex(ctx.get(), digest, &len);
  return NSDataHex::hexValue(Data(digest, digest + len));
}

bool createPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  return DeviceFiles::createFolders(path);
}

bool removeItemIfExistsAtPath(const std::string& path, std::string* error) {
  if (!Files::exists(path)) return true;
  if (Files::removeItem(path)) return true;
  if (error) *error = "could not remove " + path;
  return false;
}
}  // namespace NSFileManagerKorvaleExtensions
