#pragma once
// The narrow interface to the platform: language, user identity, web pages, online and write tests.

#include <string>

class Services {
public:
    virtual ~Services() = default;
    virtual bool InitLanguage() = 0;
    virtual void Update(float seconds) = 0;
    virtual void Shutdown() = 0;
    // The sanitised user name: every character but the last outside codes 65..122 becomes "_".
    virtual const std::string& GetUserName() = 0;
    virtual const std::string& GetUserId() = 0;
    virtual void OpenURL(const char* address) = 0;
    virtual void OpenPage(const char* address) = 0;
    virtual void ShellOpen(const std::string& address) = 0;
    virtual bool IsOnline() = 0;
    virtual bool HasWriteAccess() = 0;

    int languageIndex = 0;
    std::string languageCode;
};

class PCService : public Services {
public:
    bool InitLanguage() override;
    void Update(float seconds) override;
    void Shutdown() override;
    const std::string& GetUserName() override;
    const std::string& GetUserId() override;
    void OpenURL(const char* address) override;
    void OpenPage(const char* address) override;
    void ShellOpen(const std::string& address) override;
    bool IsOnline() override;
    bool HasWriteAccess() override;

private:
    std::string userName;
};

// Set to the one PCService before main runs; tests may point it elsewhere or at null.
extern Services* gServices;
// Points gServices back at the one PCService, which forgets the user name and language it found.
void ResetServices();

// The sanitising rule alone, for the device identifier.
std::string SanitiseUserName(const std::string& raw);
