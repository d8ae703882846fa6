#pragma once
// Source and package records for the payment client's tests.
#include <string>

namespace PaymentTestRecords {
void addSource(const std::string& location, const std::string& endpoint);
void addPackage(const std::string& identifier, const std::string& sourceLocation);
bool isPaidThroughSileo(const std::string& identifier);
void markPaid(const std::string& identifier);
void clear();
}  // namespace PaymentTestRecords
