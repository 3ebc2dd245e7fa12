#pragma once

#include <string>

// The service's address: "ServiceHost" of "globals.cfg", overridden by the environment variable
// VARNOTH_SERVICE_HOST; "http://" is assumed when no scheme is given. "" when none is set or it is
// not an http(s) address.
std::string WebServiceHost();
// WebServiceHost() + "/tavisk/client2.php", or "".
std::string WebServiceEndpoint();
// A page of the service: WebServiceHost() + "/tavisk/index.php?" + query, or "".
std::string WebServicePage(const std::string& query);
// Tests: replaces what globals.cfg and the environment say ("" restores them).
void SetWebServiceHostOverride(const std::string& host);
