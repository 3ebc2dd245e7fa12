#pragma once
// The application's profile: sign-in settings, the stored credentials and the package lists
// that the package list is built from. Credentials are kept scrambled with the user's key.

#include "character/PackageList.h"
#include "engine/PlayerProfile.h"

#include <cstdint>
#include <string>

// The demo packages known before the service has sent anything.
extern const char* const kDefaultPackageList;
extern const char* const kDefaultAccountPackages;

class GamePlayerProfile : public PlayerProfile, public PackageProfile {
public:
    GamePlayerProfile();

    void WriteExtra(SaveBuffer& buffer) override;
    // All game fields or none: a field past the payload keeps every default (and logs).
    bool ReadExtra(SaveBuffer& buffer, int version) override;

    void SetUser(const std::string& text);
    void SetPassword(const std::string& text);
    std::string User() const;
    std::string Password() const;
    void SetPackageList(const std::string& text);
    void SetAccountPackages(const std::string& text);
    void SetEnabledPackages(const std::string& text) override;
    // Appends to the new-packages list every entry of newList that the account did not have.
    // Every setter writes under the profile's lock (Change): the image loader's thread may be
    // saving the profile at the same moment.
    void DiffPackageLists(const std::string& newList);

    const std::string& PackageListText() const override { return packageList; }
    const std::string& NewPackagesText() const override { return newPackages; }
    bool SaveProfile(bool force) override { return Save(force); }

    std::uint8_t rememberLogin = 1;
    std::uint8_t loginWithoutCredentials = 1;
    std::uint8_t flagByteC = 0;
    std::uint8_t warningAccepted = 0;
    std::string user;     // scrambled
    std::string reservedAccountText;
    std::string password; // scrambled
    std::string packageList;
    std::string accountPackages;
    std::string newPackages;

private:
    // The new-packages list as DiffPackageLists would leave it.
    std::string NewPackagesAfter(const std::string& newList) const;
    std::string Scramble(const std::string& text) const;
    void StoreScrambled(std::string& field, const std::string& text);
};
