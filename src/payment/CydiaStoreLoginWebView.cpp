#include "payment/CydiaStoreLoginWebView.h"

#include "core/KVPlatform.h"

URLRequest& CydiaStoreLoginWebView::requestWithRequredFiledsInRequest(URLRequest& request) {
  request.setValue(kUserAgent, "User-Agent");
  request.setValue(KVPlatform::deviceModelID(), "X-Machine");
  request.setValue(KVPlatform::firmwareVersion(), "X-Firmware");
  request.setValue(KVPlatform::deviceUDID(), "X-Unique-ID");
  return request;
}

URLRequest CydiaStoreLoginWebView::requestWithRequredFiledsInRequest(const URLRequest& request) {
  URLRequest changeable = request;
  return requestWithRequredFiledsInRequest(changeable);
}

void CydiaStoreLoginWebView::loadRequest(const URLRequest& request) {
  UIWebView::loadRequest(requestWithRequredFiledsInRequest(request));
}

URLRequest CydiaStoreLoginWebView::webThreadWebView(uint64_t, const URLRequest& request, const URLResponseRef&) {
  return requestWithRequredFiledsInRequest(request);
}
