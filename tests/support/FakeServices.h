#pragma once
// Platform services for tests that need only a user id: everything else does nothing, the user is
// offline and may write.

#include "engine/Services.h"

#include <string>
#include <utility>

class FakeServices : public Services {
public:
    explicit FakeServices(std::string id) : userId(std::move(id)) {}
    bool InitLanguage() override { return true; }
    void Update(float) override {}
    void Shutdown() override {}
    const std::string& GetUserName() override { return userId; }
    const std::string& GetUserId() override { return userId; }
    void OpenURL(const char*) override {}
    void OpenPage(const char*) override {}
    void ShellOpen(const std::string&) override {}
    bool IsOnline() override { return false; }
    bool HasWriteAccess() override { return true; }
    std::string userId;
};

// Publishes services in gServices for a scope and puts the previous ones back.
class ScopedServices {
public:
    explicit ScopedServices(Services* services) : previous(gServices) { gServices = services; }
    ~ScopedServices() { gServices = previous; }
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services* previous;
};
