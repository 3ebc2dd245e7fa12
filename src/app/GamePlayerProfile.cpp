#include "app/GamePlayerProfile.h"

#include "engine/AssetArchive.h"
#include "engine/Log.h"
#include "engine/Services.h"

// The bundled demo packages: the three base sets first (the main menu lists them in this order),
// then their add-ons and the logo package. A number after an entry is the menus' item mark.
const char* const kDefaultPackageList =
    "char_vexa_prev;char_vuro_prev;char_vimo_prev;vexa_forest_prev 12;vexa_castle_prev 12;"
    "vexa_city_prev 14;season_logo_prev";
const char* const kDefaultAccountPackages = "char_vexa_prev;char_vuro_prev;char_vimo_prev";

GamePlayerProfile::GamePlayerProfile()
    : packageList(kDefaultPackageList), accountPackages(kDefaultAccountPackages)
{
}

std::string GamePlayerProfile::Scramble(const std::string& text) const
{
    const std::string key = gServices ? gServices->GetUserId() : std::string();
    std::uint32_t state = ComputeNameSeed(key);
    std::string copy = text;
    ScrambleString(copy, state);
    return copy;
}

void GamePlayerProfile::StoreScrambled(std::string& field, const std::string& text)
{
    std::string scrambled = Scramble(text);
    if (scrambled != field) {
        dirty = 1;
        field.swap(scrambled);
    }
}

void GamePlayerProfile::SetUser(const std::string& text) { StoreScrambled(user, text); }
void GamePlayerProfile::SetPassword(const std::string& text) { StoreScrambled(password, text); }
std::string GamePlayerProfile::User() const { return Scramble(user); }
std::string GamePlayerProfile::Password() const { return Scramble(password); }

void GamePlayerProfile::SetPackageList(const std::string& text)
{
    if (text == packageList)
        return;
    dirty = 1;
    packageList = text;
    PackageList::SetReloadPending(true);
}

void GamePlayerProfile::SetAccountPackages(const std::string& text)
{
    if (text == accountPackages)
        return;
    DiffPackageLists(text);
    dirty = 1;
    accountPackages = text;
    PackageList::SetReloadPending(true);
}

void GamePlayerProfile::SetEnabledPackages(const std::string& text)
{
    if (text == newPackages)
        return;
    dirty = 1;
    newPackages = text;
}

void GamePlayerProfile::DiffPackageLists(const std::string& newList)
{
    if (accountPackages.empty() || accountPackages == newList)
        return;
    std::vector<std::string> known = PackageList::SplitNames(accountPackages, ';');
    for (const std::string& n : PackageList::SplitNames(newPackages, ';'))
        known.push_back(n);
    for (const std::string& entry : PackageList::SplitNames(newList, ';')) {
        bool found = false;
        for (const std::string& k : known) {
            if (k == entry) {
                found = true;
                break;
            }
        }
        if (!found) {
            newPackages += ";" + entry;
            // A list naming a package twice marks it once.
            known.push_back(entry);
        }
    }
}

void GamePlayerProfile::WriteExtra(SaveBuffer& out)
{
    out.WriteU8(rememberLogin);
    out.WriteString(user);
    out.WriteString(reservedAccountText);
    out.WriteString(password);
    out.WriteString(packageList);
    out.WriteString(accountPackages);
    out.WriteString(newPackages);
    out.WriteU8(loginWithoutCredentials);
    out.WriteU8(flagByteC);
    out.WriteU8(warningAccepted);
}

bool GamePlayerProfile::ReadExtra(SaveBuffer& in, int version)
{
    // Read into copies: a profile cut short must not leave half of its fields applied.
    std::uint8_t remember = rememberLogin;
    std::string userIn, reservedIn, passwordIn, listIn, accountIn;
    std::string newIn = newPackages;
    std::uint8_t withoutCredentials = 0;
    std::uint8_t byteC = flagByteC;
    std::uint8_t warning = warningAccepted;

    bool ok = in.ReadU8(remember) && in.ReadString(userIn) && in.ReadString(reservedIn) &&
              in.ReadString(passwordIn) && in.ReadString(listIn) && in.ReadString(accountIn);
    if (ok && version >= 3)
        ok = in.ReadString(newIn) && in.ReadU8(withoutCredentials);
    if (ok && version >= 12)
        ok = in.ReadU8(byteC);
    if (ok && version >= 13)
        ok = in.ReadU8(warning);
    if (!ok) {
        LogText(kLogFile, "Profile game fields are cut short; keeping the defaults");
        return false;
    }
    rememberLogin = remember;
    user.swap(userIn);
    reservedAccountText.swap(reservedIn);
    password.swap(passwordIn);
    packageList.swap(listIn);
    accountPackages.swap(accountIn);
    newPackages.swap(newIn);
    loginWithoutCredentials = withoutCredentials;
    flagByteC = byteC;
    warningAccepted = warning;
    return true;
}
