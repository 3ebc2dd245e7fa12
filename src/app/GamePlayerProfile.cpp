#include "app/GamePlayerProfile.h"

#include "engine/AssetArchive.h"
#include "engine/Log.h"
#include "engine/Services.h"

#include <unordered_set>

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

// Only the main thread writes the game fields, so comparing outside the lock is safe; the write
// itself goes through Change because the image loader's thread may be saving the profile.
void GamePlayerProfile::StoreScrambled(std::string& field, const std::string& text)
{
    std::string scrambled = Scramble(text);
    if (scrambled != field)
        Change([&](PlayerProfile&) { field.swap(scrambled); });
}

void GamePlayerProfile::SetUser(const std::string& text) { StoreScrambled(user, text); }
void GamePlayerProfile::SetPassword(const std::string& text) { StoreScrambled(password, text); }
std::string GamePlayerProfile::User() const { return Scramble(user); }
std::string GamePlayerProfile::Password() const { return Scramble(password); }

void GamePlayerProfile::SetPackageList(const std::string& text)
{
    if (text == packageList)
        return;
    Change([&](PlayerProfile&) { packageList = text; });
    PackageList::SetReloadPending(true);
}

void GamePlayerProfile::SetAccountPackages(const std::string& text)
{
    if (text == accountPackages)
        return;
    std::string marked = NewPackagesAfter(text);
    Change([&](PlayerProfile&) {
        newPackages.swap(marked);
        accountPackages = text;
    });
    PackageList::SetReloadPending(true);
}

void GamePlayerProfile::SetEnabledPackages(const std::string& text)
{
    if (text == newPackages)
        return;
    Change([&](PlayerProfile&) { newPackages = text; });
}

std::string GamePlayerProfile::NewPackagesAfter(const std::string& newList) const
{
    std::string result = newPackages;
    if (accountPackages.empty() || accountPackages == newList)
        return result;
    std::unordered_set<std::string> known;
    for (const std::string& k : PackageList::SplitNames(accountPackages, ';'))
        known.insert(k);
    for (const std::string& n : PackageList::SplitNames(newPackages, ';'))
        known.insert(n);
    for (const std::string& entry : PackageList::SplitNames(newList, ';')) {
        // A list naming a package twice marks it once.
        if (known.insert(entry).second)
            result += ";" + entry;
    }
    return result;
}

void GamePlayerProfile::DiffPackageLists(const std::string& newList)
{
    std::string marked = NewPackagesAfter(newList);
    if (marked != newPackages)
        Change([&](PlayerProfile&) { newPackages.swap(marked); });
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
