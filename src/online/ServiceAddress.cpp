#include "online/ServiceAddress.h"

#include "engine/ConfigFile.h"
#include "engine/Log.h"
#include "platform/Platform.h"

#include <mutex>

namespace {

std::mutex gHostLock;
std::string gOverride;
bool gHasOverride = false;

std::string ConfiguredHost()
{
    const std::string fromEnvironment = platform::EnvironmentValue("VARNOTH_SERVICE_HOST");
    if (!fromEnvironment.empty())
        return fromEnvironment;
    ConfigFile globals;
    if (!globals.Load("globals.cfg") || globals.SelectSection("Globals") == nullptr)
        return std::string();
    return globals.GetString("ServiceHost");
}

std::string Normalise(std::string host)
{
    if (host.empty())
        return host;
    if (host.find("://") == std::string::npos)
        host = "http://" + host;
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (!platform::IsWebAddress(host)) {
        LogText(kLogFile, "ServiceHost is not an http(s) address: no web service");
        return std::string();
    }
    return host;
}

} // namespace

std::string WebServiceHost()
{
    std::lock_guard<std::mutex> guard(gHostLock);
    return Normalise(gHasOverride ? gOverride : ConfiguredHost());
}

std::string WebServiceEndpoint()
{
    const std::string host = WebServiceHost();
    return host.empty() ? host : host + "/tavisk/client2.php";
}

std::string WebServicePage(const std::string& query)
{
    const std::string host = WebServiceHost();
    return host.empty() ? host : host + "/tavisk/index.php?" + query;
}

void SetWebServiceHostOverride(const std::string& host)
{
    std::lock_guard<std::mutex> guard(gHostLock);
    gOverride = host;
    gHasOverride = !host.empty();
}
