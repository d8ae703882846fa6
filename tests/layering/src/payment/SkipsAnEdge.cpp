// Below payment's floor, but not an edge its line names: the payment screens never run
// the launcher themselves.
#include "launcher/LauncherEnvironment.h"
#include "account/KVAccount.h"
