#pragma once
// Makes the payment client's response objects, each new and empty.
#include <memory>

#include "payment/RepoStoreEndpointResponse.h"
#include "payment/RepoStorePackageInfoResponse.h"
#include "payment/RepoStorePackagePurchaseResponse.h"
#include "payment/RepoStoreSigninResponse.h"
#include "payment/RepoStoreSignoutResponse.h"
#include "payment/RepoStoreUserInfoResponse.h"
#include "payment/RepoStoreVendorInfoAuthenticationInfo.h"
#include "payment/RepoStoreVendorInfoResponse.h"

class KVRepoStoreResponseFactory {
 public:
  static std::shared_ptr<RepoStoreEndpointResponse> endpointResponse() {
    return std::make_shared<RepoStoreEndpointResponse>();
  }
  static std::shared_ptr<RepoStoreVendorInfoAuthenticationInfo> vendorInfoAuthenticationInfo() {
    return std::make_shared<RepoStoreVendorInfoAuthenticationInfo>();
  }
  static std::shared_ptr<RepoStoreVendorInfoResponse> vendorInfoResponse() {
    return std::make_shared<RepoStoreVendorInfoResponse>();
  }
  static std::shared_ptr<RepoStorePackageInfoResponse> packageInfoResponse() {
    return std::make_shared<RepoStorePackageInfoResponse>();
  }
  static std::shared_ptr<RepoStorePackagePurchaseResponse> packagePurchaseResponse() {
    return std::make_shared<RepoStorePackagePurchaseResponse>();
  }
  static std::shared_ptr<RepoStoreSigninResponse> signinResponse() { return std::make_shared<RepoStoreSigninResponse>(); }
  static std::shared_ptr<RepoStoreSignoutResponse> signoutResponse() {
    return std::make_shared<RepoStoreSignoutResponse>();
  }
  static std::shared_ptr<RepoStoreUserInfoResponse> userInfoResponse() {
    return std::make_shared<RepoStoreUserInfoResponse>();
  }
};
